#pragma once

#include "DriverSettings.h"
#include "FaultList.h"
#include "ImageLock.h"
#include "RegisterImage.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tillo_emulator {

// One driver handle: its settings, parameters, last error and, while open,
// the emulated register loaded from its image with the writes not yet committed.
// Operations return 0 or -1 and set the error code and description; parameter
// setters and getters leave the error alone. A handle serves one thread.
class EmulatedDriver
{
public:
    int setSettings(const wchar_t* text);
    int getSettings(wchar_t* buffer, int size);
    int setSingleSetting(const wchar_t* key, const wchar_t* value);
    int applySingleSettings();
    int open();
    int close();
    int queryData();
    int readCell();
    int writeCell();
    int commit();
    int mapping();
    int openDrawer();

    // An exception stopped the entry point `function`: the call fails with
    // code 99 and a text that names the function and the reason.
    int failByException(const char* function, const char* what);

    int errorCode() const { return m_errorCode; }
    int errorDescription(wchar_t* buffer, int size) const;

    void setParamInt(int param, unsigned value) { m_ints[param] = value; }
    void setParamString(int param, const wchar_t* value);
    void setParamBytes(int param, const unsigned char* value, int size);
    unsigned paramInt(int param) const;
    int paramString(int param, wchar_t* buffer, int size) const;
    int paramBytes(int param, unsigned char* buffer, int size) const;

private:
    int succeed(const std::string& call);
    int fail(const std::string& call, int code, const std::string& description);
    // Counts the call against the image's faults; true when one fires (error set).
    bool faultFires(const std::string& trace, const FaultList::Call& call, FaultList::Fired* fired = nullptr);
    void refreshFaults();
    // Reads the image at path for its faults when it changed since they were
    // read; the image parsed for them is kept for the next open.
    void readFaults(const std::string& path);
    // The image at path, parsed once: the one kept from reading its faults
    // when the file is still as it was then.
    bool loadImage(const std::string& path, RegisterImage& image, std::string& error);
    void discardConnection();
    const uint8_t* currentRow(const RegisterTable& table, unsigned row) const;
    static std::string rowBeyondText(unsigned tableId, unsigned row, size_t rowCount);
    bool locateCell(const std::string& trace, unsigned& tableId, unsigned& row, unsigned& field,
                    RegisterTable*& table);

    DriverSettings m_settings;
    std::vector<std::pair<std::string, std::string>> m_singleSettings;

    std::map<int, unsigned> m_ints;
    std::map<int, std::wstring> m_strings;
    std::map<int, std::vector<uint8_t>> m_bytes;

    int m_errorCode = 0;
    std::wstring m_errorDescription;
    bool m_succeeded = false; // the error state says "no error"

    bool m_open = false;
    bool m_readsTraced = false; // TILLO10_TRACE as it stood when the register was opened
    ImageLock m_lock; // held while open
    std::string m_imagePath;
    RegisterImage m_image;
    RegisterImage::Rows m_pending;
    std::vector<uint8_t> m_rowAlone; // a row read from its own text
    FaultList m_faults;
    struct ParsedImage
    {
        bool kept = false;
        std::string path;
        FaultList::Stamp stamp;
        RegisterImage image;
        bool ok = false;
        std::string error;
    } m_parsed;
};

} // namespace tillo_emulator
