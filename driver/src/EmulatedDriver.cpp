#include "EmulatedDriver.h"

#include "ImageText.h"

#include "CallTrace.h"
#include "ErrorCode.h"
#include "ImageLocation.h"
#include "RegisterCharsets.h"
#include "SettingMappings.h"
#include "WideText.h"

#include "tillo10.h"

#include <algorithm>
#include <stdexcept>

namespace tillo_emulator {

namespace {

const char* const NotOpenText = "Соединение с ККТ не открыто";

std::string number(unsigned n) { return std::to_string(n); }

} // namespace

int EmulatedDriver::succeed(const std::string& call)
{
    if (!m_succeeded) { // keeps reads cheap: no new text after each
        m_errorCode = ErrorNone;
        m_errorDescription = L"Ошибок нет";
        m_succeeded = true;
    }
    CallTrace::write(call, m_errorCode);
    return 0;
}

int EmulatedDriver::fail(const std::string& call, int code, const std::string& description)
{
    m_errorCode = code;
    m_errorDescription = WideText::fromUtf8(description);
    m_succeeded = false;
    CallTrace::write(call, code);
    return -1;
}

void EmulatedDriver::refreshFaults()
{
    if (m_open)
        return; // the faults of the open image stay until the next open
    std::string path, error;
    if (ImageLocation::resolve(false, path, error))
        readFaults(path);
    else
        m_faults.clear();
}

void EmulatedDriver::readFaults(const std::string& path)
{
    if (m_faults.current(path))
        return;
    ParsedImage parsed;
    parsed.kept = true;
    parsed.path = path;
    parsed.stamp = FaultList::stampOf(path);
    parsed.ok = parsed.stamp.exists && parsed.image.load(path, parsed.error);
    m_faults.take(path, parsed.stamp, parsed.image.faults());
    m_parsed = std::move(parsed);
}

bool EmulatedDriver::loadImage(const std::string& path, RegisterImage& image, std::string& error)
{
    if (!m_parsed.kept || m_parsed.path != path || !(FaultList::stampOf(path) == m_parsed.stamp)) {
        m_parsed = ParsedImage();
        return image.load(path, error);
    }
    const bool ok = m_parsed.ok;
    image = std::move(m_parsed.image);
    error = m_parsed.error;
    m_parsed = ParsedImage();
    return ok;
}

int EmulatedDriver::failByException(const char* function, const char* what)
{
    return fail(function, ErrorInternal,
                std::string("Внутренняя ошибка драйвера в ") + function + ": " + (what && *what ? what : "исключение"));
}

bool EmulatedDriver::faultFires(const std::string& trace, const FaultList::Call& call, FaultList::Fired* fired)
{
    FaultList::Fired f;
    if (!m_faults.check(call, f))
        return false;
    if (f.throws)
        throw std::runtime_error(f.description);
    fail(trace, f.code, f.description);
    if (fired)
        *fired = f;
    return true;
}

void EmulatedDriver::discardConnection()
{
    m_open = false;
    m_pending.clear();
    m_image = RegisterImage();
    m_lock.release();
}

int EmulatedDriver::errorDescription(wchar_t* buffer, int size) const
{
    return WideText::copyText(m_errorDescription, buffer, size);
}

void EmulatedDriver::setParamString(int param, const wchar_t* value)
{
    m_strings[param] = value ? std::wstring(value) : std::wstring();
}

void EmulatedDriver::setParamBytes(int param, const unsigned char* value, int size)
{
    std::vector<uint8_t>& bytes = m_bytes[param];
    if (value && size > 0)
        bytes.assign(value, value + size);
    else
        bytes.clear();
}

unsigned EmulatedDriver::paramInt(int param) const
{
    const auto it = m_ints.find(param);
    return it == m_ints.end() ? 0 : it->second;
}

int EmulatedDriver::paramString(int param, wchar_t* buffer, int size) const
{
    const auto it = m_strings.find(param);
    return WideText::copyText(it == m_strings.end() ? std::wstring() : it->second, buffer, size);
}

int EmulatedDriver::paramBytes(int param, unsigned char* buffer, int size) const
{
    static const std::vector<uint8_t> none;
    const auto it = m_bytes.find(param);
    return WideText::copyBytes(it == m_bytes.end() ? none : it->second, buffer, size);
}

int EmulatedDriver::setSettings(const wchar_t* text)
{
    const std::string call = "set_settings";
    refreshFaults();
    if (faultFires(call, {"set_settings"}))
        return -1;
    if (!text)
        return fail(call, ErrorInvalidArgument, "Настройки не переданы");
    std::string error;
    if (!m_settings.setText(WideText::toUtf8(text), error))
        return fail(call, ErrorInvalidArgument, error);
    return succeed(call);
}

int EmulatedDriver::getSettings(wchar_t* buffer, int size)
{
    const std::string call = "get_settings";
    refreshFaults();
    if (faultFires(call, {"get_settings"})) {
        if (buffer && size > 0)
            buffer[0] = L'\0';
        return -1;
    }
    succeed(call);
    return WideText::copyText(WideText::fromUtf8(m_settings.text()), buffer, size);
}

int EmulatedDriver::setSingleSetting(const wchar_t* key, const wchar_t* value)
{
    const std::string k = WideText::toUtf8(key);
    const std::string v = WideText::toUtf8(value);
    const std::string call = "set_single_setting " + k + " " + v;
    refreshFaults();
    if (faultFires(call, {"set_single_setting"}))
        return -1;
    if (!key || k.empty())
        return fail(call, ErrorInvalidArgument, "Пустое имя настройки");
    m_singleSettings.emplace_back(k, v);
    return succeed(call);
}

int EmulatedDriver::applySingleSettings()
{
    const std::string call = "apply_single_settings";
    refreshFaults();
    const auto pending = std::move(m_singleSettings);
    m_singleSettings.clear();
    if (faultFires(call, {"apply_single_settings"}))
        return -1;
    DriverSettings updated = m_settings;
    std::string error;
    for (const auto& [key, value] : pending) {
        if (!updated.setSingle(key, value, error))
            return fail(call, ErrorInvalidArgument, error);
    }
    m_settings = std::move(updated);
    return succeed(call);
}

int EmulatedDriver::open()
{
    const std::string call = "open";
    discardConnection();
    std::string path, error;
    if (!ImageLocation::resolve(true, path, error)) {
        m_faults.clear();
        return fail(call, ErrorImage, error);
    }
    readFaults(path);
    if (faultFires(call, {"open"}))
        return -1;
    // Refused before a lock file is made beside it (a device's folder is no place for one).
    if (!ImageText::readable(path, error))
        return fail(call, ErrorImage, "Образ ККТ " + path + ": " + error);
    switch (m_lock.acquire(path, error)) {
    case ImageLock::Acquired:
        break;
    case ImageLock::Busy:
        return fail(call, ErrorBusy, "ККТ занята другим подключением");
    case ImageLock::Failed:
        return fail(call, ErrorImage, "Образ ККТ " + path + ": " + error);
    }
    // Only the lock's holder commits: what an interrupted commit left is no one's now.
    RegisterImage::removeLeftovers(path);
    RegisterImage image;
    if (!loadImage(path, image, error)) {
        m_lock.release();
        return fail(call, ErrorImage, "Образ ККТ " + path + ": " + error);
    }
    if (!m_settings.checkLink(image.link(), error)) {
        m_lock.release();
        return fail(call, ErrorNoLink, error);
    }
    m_image = std::move(image);
    m_imagePath = path;
    m_open = true;
    m_readsTraced = CallTrace::enabled();
    m_image.link().request(0);
    return succeed(call);
}

int EmulatedDriver::close()
{
    const std::string call = "close";
    refreshFaults();
    struct Discard // however the call ends; unsaved writes are lost, as on a power cut
    {
        EmulatedDriver& driver;
        ~Discard() { driver.discardConnection(); }
    } discard{*this};
    return faultFires(call, {"close"}) ? -1 : succeed(call);
}

int EmulatedDriver::queryData()
{
    const unsigned query = paramInt(LIBTILLO_PARAM_QUERY);
    const std::string call = "query " + number(query);
    if (!m_open)
        return fail(call, ErrorNotOpen, NotOpenText);
    m_image.link().request(0);
    FaultList::Call c{"query"};
    c.query = long(query);
    if (faultFires(call, c))
        return -1;
    if (query == LIBTILLO_QUERY_STATUS) {
        m_ints[LIBTILLO_PARAM_MODEL_CODE] = m_image.modelCode();
        m_ints[LIBTILLO_PARAM_FISCAL] = m_image.fiscal() ? 1 : 0;
        m_strings[LIBTILLO_PARAM_MODEL_NAME] = WideText::fromUtf8(m_image.modelName());
        m_strings[LIBTILLO_PARAM_SERIAL_NUMBER] = WideText::fromUtf8(m_image.serialNumber());
        m_strings[LIBTILLO_PARAM_FIRMWARE] = WideText::fromUtf8(m_image.firmware());
        return succeed(call);
    }
    if (query == LIBTILLO_QUERY_VERSION) {
        if (paramInt(LIBTILLO_PARAM_QUERY_VERSION) != 1)
            return fail(call, ErrorInvalidArgument, "Запрос версии: параметр 0x10049 должен быть 1");
        m_strings[LIBTILLO_PARAM_FIRMWARE] = WideText::fromUtf8(m_image.firmware());
        return succeed(call);
    }
    return fail(call, ErrorInvalidArgument, "Неизвестный запрос " + number(query));
}

std::string EmulatedDriver::rowBeyondText(unsigned tableId, unsigned row, size_t rowCount)
{
    return "Ряд " + number(row) + " вне таблицы " + number(tableId) + " (рядов: " + number(rowCount) + ")";
}

const uint8_t* EmulatedDriver::currentRow(const RegisterTable& table, unsigned row) const
{
    if (!m_pending.empty()) {
        const auto it = m_pending.find({table.id, row});
        if (it != m_pending.end())
            return it->second.data();
    }
    return table.row(row);
}

bool EmulatedDriver::locateCell(const std::string& trace, unsigned& tableId, unsigned& row, unsigned& field,
                                RegisterTable*& table)
{
    std::string broken;
    table = m_image.table(tableId, broken);
    if (!table && !broken.empty()) {
        fail(trace, ErrorImage, "Образ ККТ " + m_imagePath + ": " + broken);
        return false;
    }
    if (!table) {
        fail(trace, ErrorUnknownTable, "Таблица " + number(tableId) + " не существует");
        return false;
    }
    if (row < 1 || row > table->rowCount) {
        fail(trace, ErrorRowBeyond, rowBeyondText(tableId, row, table->rowCount));
        return false;
    }
    if (field > table->fields.size()) {
        fail(trace, ErrorFieldBeyond,
             "Поле " + number(field) + " вне таблицы " + number(tableId) + " (полей: " +
                 number(table->fields.size()) + ")");
        return false;
    }
    return true;
}

int EmulatedDriver::readCell()
{
    unsigned tableId = paramInt(LIBTILLO_PARAM_TABLE);
    unsigned row = paramInt(LIBTILLO_PARAM_ROW);
    unsigned field = paramInt(LIBTILLO_PARAM_FIELD);
    std::vector<uint8_t>& value = m_bytes[LIBTILLO_PARAM_VALUE];
    value.clear();
    // An open register's reads, thousands a table, look for the trace no
    // more: the trace is named before the register is opened.
    const bool tracing = m_open ? m_readsTraced : CallTrace::enabled();
    const std::string call = !tracing ? std::string()
                             : field == 0 ? "read-row " + number(tableId) + " " + number(row)
                                          : "read " + number(tableId) + " " + number(row) + " " + number(field);
    if (!m_open)
        return fail(call, ErrorNotOpen, NotOpenText);
    struct LineTime // the request and the bytes that come back, however the read ends
    {
        const RegisterLink& link;
        const std::vector<uint8_t>& answer;
        ~LineTime() { link.request(answer.size()); }
    } lineTime{m_image.link(), value};
    if (faultFires(call, {"read", long(tableId), long(row), long(field)}))
        return -1;
    // The texts of a whole row go out in the external character set.
    const auto wholeRow = [&value](const RegisterTable& table, const uint8_t* bytes) {
        value.assign(bytes, bytes + table.rowWidth);
        const uint8_t* toExternal = RegisterCharsets::internalToExternalTable();
        for (const RegisterTable::Field& f : table.fields) {
            if (!f.text || RegisterCharsets::isNumberPair(bytes + f.offset, f.width))
                continue;
            for (size_t i = f.offset; i < f.offset + f.width; ++i)
                value[i] = toExternal[value[i]];
        }
    };
    // One whole row of a large table not used yet comes from that row's text
    // alone: a dry run that only makes sure a row is there does not pay for
    // decoding the table.
    const RegisterTable* alone = nullptr;
    size_t rowCount = 0;
    if (field == 0 && m_image.rowAlone(tableId, row, alone, rowCount, m_rowAlone)) {
        if (m_rowAlone.empty())
            return fail(call, ErrorRowBeyond, rowBeyondText(tableId, row, rowCount));
        wholeRow(*alone, m_rowAlone.data());
        return succeed(call);
    }
    RegisterTable* table = nullptr;
    if (!locateCell(call, tableId, row, field, table))
        return -1;
    const uint8_t* bytes = currentRow(*table, row);
    if (field == 0) {
        wholeRow(*table, bytes);
    } else {
        const RegisterTable::Field& f = table->fields[field - 1];
        value.assign(bytes + f.offset, bytes + f.offset + f.width);
    }
    return succeed(call);
}

int EmulatedDriver::writeCell()
{
    unsigned tableId = paramInt(LIBTILLO_PARAM_TABLE);
    unsigned row = paramInt(LIBTILLO_PARAM_ROW);
    unsigned field = paramInt(LIBTILLO_PARAM_FIELD);
    const auto it = m_bytes.find(LIBTILLO_PARAM_VALUE);
    const std::vector<uint8_t> value = it == m_bytes.end() ? std::vector<uint8_t>() : it->second;
    const std::string call = (field == 0 ? "write-row " + number(tableId) + " " + number(row)
                                         : "write " + number(tableId) + " " + number(row) + " " + number(field)) +
                             " " + RegisterImage::toHex(value);
    if (!m_open)
        return fail(call, ErrorNotOpen, NotOpenText);
    m_image.link().request(value.size());
    if (faultFires(call, {"write", long(tableId), long(row), long(field)}))
        return -1;
    RegisterTable* table = nullptr;
    if (!locateCell(call, tableId, row, field, table))
        return -1;
    const size_t width = field == 0 ? table->rowWidth : table->fields[field - 1].width;
    if (value.size() > width)
        return fail(call, ErrorValueTooLong,
                    "Значение длиннее поля: " + number(value.size()) + " байт при ширине " + number(width));

    const uint8_t* current = currentRow(*table, row);
    std::vector<uint8_t> bytes(current, current + table->rowWidth);
    const size_t first = field == 0 ? 0 : field - 1;
    const size_t last = field == 0 ? table->fields.size() : field;
    const size_t base = first < table->fields.size() ? table->fields[first].offset : 0;
    for (size_t i = first; i < last; ++i) {
        const RegisterTable::Field& f = table->fields[i];
        const size_t start = f.offset - base;
        const bool convert = f.text && !(start < value.size() &&
                                         RegisterCharsets::isNumberPair(value.data() + start, value.size() - start));
        for (size_t k = 0; k < f.width; ++k) {
            const size_t at = start + k;
            uint8_t b = 0; // short values are padded with zero bytes
            if (at < value.size())
                b = convert ? RegisterCharsets::externalToInternal(value[at]) : value[at];
            bytes[f.offset + k] = b;
        }
    }
    m_pending[{tableId, row}] = std::move(bytes);
    return succeed(call);
}

int EmulatedDriver::commit()
{
    const std::string call = "commit";
    if (!m_open)
        return fail(call, ErrorNotOpen, NotOpenText);
    m_image.link().request(0);
    FaultList::Fired fired;
    if (faultFires(call, {"commit"}, &fired)) {
        if (fired.stage == "rename" && !m_pending.empty()) {
            std::string ignored;
            if (m_image.decodeAll(ignored))
                m_image.save(m_imagePath, m_pending, true, ignored); // a crash between write and rename
        }
        if (fired.stage == "after-rename" && !m_pending.empty()) {
            // Stored, but told as failed, as a rename that reports an error after it happened.
            std::string ignored;
            if (m_image.decodeAll(ignored) && m_image.save(m_imagePath, m_pending, false, ignored)) {
                m_faults.remember(m_imagePath);
                m_image.apply(m_pending);
                m_pending.clear();
            }
        }
        return -1;
    }
    if (m_pending.empty())
        return succeed(call);
    std::string error;
    if (!m_image.decodeAll(error))
        return fail(call, ErrorImage, "Образ ККТ " + m_imagePath + ": " + error);
    if (!m_image.save(m_imagePath, m_pending, false, error))
        return fail(call, ErrorImageSave, "Не удалось сохранить образ ККТ " + m_imagePath + ": " + error);
    m_faults.remember(m_imagePath);
    m_image.apply(m_pending);
    m_pending.clear();
    return succeed(call);
}

int EmulatedDriver::mapping()
{
    const auto it = m_strings.find(LIBTILLO_PARAM_MAPPING_INPUT);
    const std::string key = it == m_strings.end() ? std::string() : WideText::toUtf8(it->second.c_str());
    const std::string call = "mapping " + key;
    std::wstring& output = m_strings[LIBTILLO_PARAM_MAPPING_OUTPUT];
    output.clear();
    refreshFaults();
    if (faultFires(call, {"mapping"}))
        return -1;
    std::string json;
    if (!SettingMappings::mapping(key, json))
        return fail(call, ErrorUnknownMappingKey, "Нет списка значений для настройки \"" + key + "\"");
    output = WideText::fromUtf8(json);
    return succeed(call);
}

int EmulatedDriver::openDrawer()
{
    const std::string call = "drawer";
    if (!m_open)
        return fail(call, ErrorNotOpen, NotOpenText);
    if (faultFires(call, {"drawer"}))
        return -1;
    if (!m_image.hasDrawer())
        return fail(call, ErrorNoDrawer, "Денежный ящик не подключен");
    return succeed(call);
}

} // namespace tillo_emulator
