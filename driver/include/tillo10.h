/* C interface of the tillo10 cash register driver library. */
#ifndef TILLO10_H
#define TILLO10_H

#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TILLO10_API __attribute__((visibility("default")))
#else
#define TILLO10_API
#endif

typedef void* libtillo_handle;

TILLO10_API int libtillo_create(libtillo_handle* handle);
TILLO10_API int libtillo_destroy(libtillo_handle* handle);
TILLO10_API int libtillo_set_settings(libtillo_handle h, const wchar_t* settings);
TILLO10_API int libtillo_get_settings(libtillo_handle h, wchar_t* buffer, int size);
TILLO10_API int libtillo_set_single_setting(libtillo_handle h, const wchar_t* key, const wchar_t* value);
TILLO10_API int libtillo_apply_single_settings(libtillo_handle h);
TILLO10_API int libtillo_open(libtillo_handle h);
TILLO10_API int libtillo_close(libtillo_handle h);
TILLO10_API int libtillo_query_data(libtillo_handle h);
TILLO10_API int libtillo_read_device_setting_raw(libtillo_handle h);
TILLO10_API int libtillo_write_device_setting_raw(libtillo_handle h);
TILLO10_API int libtillo_commit_settings(libtillo_handle h);
TILLO10_API int libtillo_util_mapping(libtillo_handle h);
TILLO10_API int libtillo_open_drawer(libtillo_handle h);
TILLO10_API int libtillo_error_code(libtillo_handle h);
TILLO10_API int libtillo_error_description(libtillo_handle h, wchar_t* buffer, int size);
TILLO10_API void libtillo_set_param_int(libtillo_handle h, int param, unsigned int value);
TILLO10_API void libtillo_set_param_str(libtillo_handle h, int param, const wchar_t* value);
TILLO10_API void libtillo_set_param_bytearray(libtillo_handle h, int param, const unsigned char* value, int size);
TILLO10_API unsigned int libtillo_get_param_int(libtillo_handle h, int param);
TILLO10_API int libtillo_get_param_bool(libtillo_handle h, int param);
TILLO10_API int libtillo_get_param_str(libtillo_handle h, int param, wchar_t* buffer, int size);
TILLO10_API int libtillo_get_param_bytearray(libtillo_handle h, int param, unsigned char* buffer, int size);

/* Parameter numbers. */
#define LIBTILLO_PARAM_MODEL_CODE      0x10008
#define LIBTILLO_PARAM_SERIAL_NUMBER   0x10017
#define LIBTILLO_PARAM_QUERY           0x10033
#define LIBTILLO_PARAM_FISCAL          0x10037
#define LIBTILLO_PARAM_MODEL_NAME      0x10043
#define LIBTILLO_PARAM_FIRMWARE        0x10044
#define LIBTILLO_PARAM_QUERY_VERSION   0x10049
#define LIBTILLO_PARAM_TABLE           0x10052
#define LIBTILLO_PARAM_ROW             0x10053
#define LIBTILLO_PARAM_FIELD           0x10054
#define LIBTILLO_PARAM_VALUE           0x10055
#define LIBTILLO_PARAM_MAPPING_INPUT   0x10074
#define LIBTILLO_PARAM_MAPPING_OUTPUT  0x10075

/* Queries selected by LIBTILLO_PARAM_QUERY. */
#define LIBTILLO_QUERY_STATUS  0
#define LIBTILLO_QUERY_VERSION 2

/* Error codes the program relies on. */
#define LIBTILLO_ERROR_NO_DRAWER     11
#define LIBTILLO_ERROR_ROW_BEYOND    75
#define LIBTILLO_ERROR_FIELD_BEYOND  76

#ifdef __cplusplus
}
#endif

#endif
