#include "RegisterImage.h"

#include "HexBytes.h"
#include "RegisterCharsets.h"
#include "RowsCut.h"
#include "RowsDecoder.h"

#include <json/reader.h>
#include <json/writer.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tillo_emulator {

namespace {

std::string where(unsigned table, size_t row, size_t field)
{
    std::ostringstream s;
    s << "таблица " << table << ", ряд " << row << ", поле " << field << ": ";
    return s.str();
}

bool writeAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A save writes "<image>.tmp-XXXXXX" (mkstemp) and renames it over the image.
const char* const TemporarySuffix = ".tmp-";
const size_t TemporaryRandomLength = 6;

bool isTemporaryOf(const std::string& name, const std::string& imageName)
{
    const std::string prefix = imageName + TemporarySuffix;
    if (name.size() != prefix.size() + TemporaryRandomLength || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

// Rows of a large table read one by one from their own text before the
// table is decoded whole.
const unsigned RowsReadAlone = 8;

// Rows texts this long are decoded on the table's first use; shorter ones
// (every table of the default register) at once, with the rest of the image.
const size_t LargeRowsText = 64 * 1024;

bool parseJson(const char* begin, const char* end, Json::Value& root, std::string& errors)
{
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    return reader->parse(begin, end, &root, &errors);
}

bool parseJson(std::string_view text, Json::Value& root, std::string& errors)
{
    return parseJson(text.data(), text.data() + text.size(), root, errors);
}

std::string_view rowsText(const RegisterTable::Undecoded& rows)
{
    return rows.image->view().substr(rows.begin, rows.end - rows.begin);
}

} // namespace

std::string RegisterImage::toHex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

bool RegisterImage::fromHex(const std::string& text, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    return forEachHexByte(text.data(), text.data() + text.size(), [&](uint8_t byte) {
        bytes.push_back(byte);
        return true;
    });
}

void RegisterImage::textBytes(std::string_view text, const RegisterTable::Field& field, std::vector<uint8_t>& bytes)
{
    if (field.text)
        RegisterCharsets::encodeInternal(text, bytes);
    else
        bytes.assign(text.begin(), text.end());
    if (bytes.size() < field.width)
        bytes.resize(field.width, field.fill);
}

bool RegisterImage::uintBytes(uint64_t value, const RegisterTable::Field& field, std::vector<uint8_t>& bytes)
{
    bytes.assign(field.width, 0);
    for (size_t i = field.width; i-- > 0; value >>= 8)
        bytes[i] = uint8_t(value & 0xFF);
    return value == 0;
}

bool RegisterImage::bcdBytes(std::string_view digits, const RegisterTable::Field& field, std::vector<uint8_t>& bytes)
{
    if (digits.size() > field.width * 2)
        return false;
    bytes.assign(field.width, 0);
    size_t nibble = 0;
    for (size_t i = digits.size(); i-- > 0; ++nibble) {
        const uint8_t d = uint8_t(digits[i] - '0');
        uint8_t& b = bytes[field.width - 1 - nibble / 2];
        b |= (nibble % 2) ? uint8_t(d << 4) : d;
    }
    return true;
}

bool RegisterImage::cellBytes(const Json::Value& cell, const RegisterTable::Field& field, std::vector<uint8_t>& bytes,
                              std::string& error)
{
    bytes.clear();
    if (cell.isNull())
        return true;
    if (cell.isString()) {
        if (!fromHex(cell.asString(), bytes)) {
            error = "значение не в шестнадцатеричном виде";
            return false;
        }
        return true;
    }
    if (!cell.isObject()) {
        error = "значение должно быть строкой шестнадцатеричных байтов или объектом";
        return false;
    }
    if (cell.isMember("text") && cell["text"].isString()) {
        textBytes(cell["text"].asString(), field, bytes);
        return true;
    }
    if (cell.isMember("uint") && (cell["uint"].isUInt64() || cell["uint"].isUInt())) {
        if (!uintBytes(cell["uint"].asUInt64(), field, bytes)) {
            error = "число не помещается в поле";
            return false;
        }
        return true;
    }
    if (cell.isMember("bcd")) {
        const Json::Value& v = cell["bcd"];
        std::string digits;
        if (v.isUInt64() || v.isUInt())
            digits = std::to_string(v.asUInt64());
        else if (v.isString())
            digits = v.asString();
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
            error = "\"bcd\" должно быть неотрицательным числом";
            return false;
        }
        if (!bcdBytes(digits, field, bytes)) {
            error = "число не помещается в поле";
            return false;
        }
        return true;
    }
    error = "неизвестная форма значения (ожидается \"text\", \"uint\" или \"bcd\")";
    return false;
}

bool RegisterImage::decodeRows(RegisterTable& table, const Json::Value& rows, std::string& error)
{
    if (!rows.isNull() && !rows.isArray()) {
        error = "таблица " + std::to_string(table.id) + ": \"rows\" должно быть массивом";
        return false;
    }
    table.rowCount = 0;
    table.bytes.assign(size_t(rows.size()) * table.rowWidth, 0);
    std::vector<uint8_t> cell;
    std::string why;
    for (Json::ArrayIndex r = 0; r < rows.size(); ++r) {
        const Json::Value& row = rows[r];
        if (!row.isArray() || row.size() > table.fields.size()) {
            error = where(table.id, r + 1, 0) + "ряд должен быть массивом не длиннее числа полей";
            return false;
        }
        uint8_t* bytes = table.bytes.data() + size_t(r) * table.rowWidth;
        for (Json::ArrayIndex c = 0; c < row.size(); ++c) {
            const RegisterTable::Field& field = table.fields[c];
            if (!cellBytes(row[c], field, cell, why)) {
                error = where(table.id, r + 1, c + 1) + why;
                return false;
            }
            if (cell.size() > field.width) {
                error = where(table.id, r + 1, c + 1) + "значение длиннее поля (" + std::to_string(cell.size()) +
                        " байт при ширине " + std::to_string(field.width) + ")";
                return false;
            }
            std::copy(cell.begin(), cell.end(), bytes + field.offset);
        }
    }
    table.rowCount = rows.size();
    return true;
}

bool RegisterImage::decode(RegisterTable& table, std::string& error)
{
    if (table.decoded())
        return true;
    if (!table.undecoded.image->unchanged()) {
        error = "таблица " + std::to_string(table.id) +
                ": файл образа изменён другой программой, пока соединение было открыто; откройте соединение заново";
        return false;
    }
    const std::string_view text = rowsText(table.undecoded);
    if (RowsDecoder::decode(text.data(), text.data() + text.size(), table)) {
        table.undecoded = RegisterTable::Undecoded();
        return true;
    }
    Json::Value rows;
    std::string errors;
    bool parsed = false;
    try {
        parsed = parseJson(rowsText(table.undecoded), rows, errors);
    } catch (const std::exception& e) {
        errors = e.what();
    }
    if (!parsed) {
        error = "таблица " + std::to_string(table.id) + ": \"rows\" не читается как JSON" +
                (errors.empty() ? std::string() : ": " + errors);
        return false;
    }
    if (!decodeRows(table, rows, error))
        return false;
    table.undecoded = RegisterTable::Undecoded();
    return true;
}

bool RegisterImage::loadTable(const Json::Value& json, unsigned index, RegisterTable::Undecoded undecoded,
                              std::string& error)
{
    if (!json.isObject() || !json["id"].isUInt() || !json["fields"].isArray()) {
        error = "таблица №" + std::to_string(index + 1) + " в \"tables\": нужны \"id\" (число) и \"fields\" (массив)";
        return false;
    }
    RegisterTable table;
    table.id = json["id"].asUInt();
    table.jsonIndex = index;
    if (m_tables.count(table.id)) {
        error = "таблица " + std::to_string(table.id) + " описана дважды";
        return false;
    }
    const Json::Value& fields = json["fields"];
    for (Json::ArrayIndex i = 0; i < fields.size(); ++i) {
        const Json::Value& f = fields[i];
        if (!f.isObject() || !f["width"].isUInt() || f["width"].asUInt() == 0 || f["width"].asUInt() > 4096) {
            error = where(table.id, 0, i + 1) + "нужна ширина \"width\" от 1 до 4096 байт";
            return false;
        }
        RegisterTable::Field field;
        field.width = f["width"].asUInt();
        field.offset = table.rowWidth;
        field.text = f["text"].isBool() && f["text"].asBool();
        field.fill = uint8_t(f.isMember("fill") && f["fill"].isUInt() ? f["fill"].asUInt() : (field.text ? 0x20 : 0));
        table.rowWidth += field.width;
        table.fields.push_back(field);
    }
    table.undecoded = std::move(undecoded);
    if (table.decoded() && !decodeRows(table, json["rows"], error))
        return false;
    m_tables.emplace(table.id, std::move(table));
    return true;
}

bool RegisterImage::loadLink(const Json::Value& link, std::string& error)
{
    if (link.isNull())
        return true;
    if (!link.isObject()) {
        error = "\"link\" должно быть объектом";
        return false;
    }
    if (link["ipAddress"].isString())
        m_link.ipAddress = link["ipAddress"].asString();
    const auto number = [&](const char* key, unsigned low, unsigned high, int& value) {
        const Json::Value& v = link[key];
        if (v.isNull())
            return true;
        if (!v.isUInt() || v.asUInt() < low || v.asUInt() > high) {
            error = "\"link." + std::string(key) + "\" должно быть числом от " + std::to_string(low) + " до " +
                    std::to_string(high);
            return false;
        }
        value = int(v.asUInt());
        return true;
    };
    return number("ipPort", 1, 65535, m_link.ipPort) && number("deviceNumber", 1, 255, m_link.deviceNumber) &&
           number("latencyMs", 0, 60000, m_link.latencyMs) &&
           number("bytesPerSecond", 0, 1000000000, m_link.bytesPerSecond);
}

bool RegisterImage::load(const std::string& path, std::string& error)
{
    *this = RegisterImage();
    const std::shared_ptr<const ImageText> content = ImageText::read(path, error);
    if (!content)
        return false;
    return parseWhole(content, error);
}

bool RegisterImage::parse(const std::string& content, std::string& error)
{
    return parseWhole(ImageText::copyOf(content), error);
}

bool RegisterImage::parseWhole(const std::shared_ptr<const ImageText>& content, std::string& error)
{
    std::string rest;
    std::vector<RowsCut::Piece> pieces;
    if (RowsCut::cut(content->view(), LargeRowsText, rest, pieces)) {
        std::vector<RegisterTable::Undecoded> undecoded;
        for (RowsCut::Piece& piece : pieces) {
            if (undecoded.size() <= piece.table)
                undecoded.resize(piece.table + 1);
            RegisterTable::Undecoded& rows = undecoded[piece.table];
            rows.image = content;
            rows.begin = piece.begin;
            rows.end = piece.end;
            rows.rowsFound = piece.rowsFound;
            rows.rows = std::move(piece.rows);
        }
        std::string ignored;
        if (parseText(rest, std::move(undecoded), ignored))
            return true;
        // What is wrong is said as the whole text shows it.
    }
    return parseText(content->view(), {}, error);
}

bool RegisterImage::parseText(std::string_view content, std::vector<RegisterTable::Undecoded> undecoded,
                              std::string& error)
{
    *this = RegisterImage();
    std::string parseErrors;
    try {
        if (!parseJson(content, m_root, parseErrors) || !m_root.isObject()) {
            m_root = Json::Value();
            error = "файл не является JSON-объектом" + (parseErrors.empty() ? std::string() : ": " + parseErrors);
            return false;
        }
    } catch (const std::exception& e) { // e.g. nesting beyond the parser's limit
        m_root = Json::Value();
        error = "не удалось прочитать образ: разбор JSON прерван (" + std::string(e.what()) + ")";
        return false;
    }
    const Json::Value& identity = m_root["identity"];
    if (!identity.isObject() || !identity["modelCode"].isUInt()) {
        error = "нужен объект \"identity\" с числом \"modelCode\"";
        return false;
    }
    m_modelCode = identity["modelCode"].asUInt();
    m_modelName = identity["modelName"].isString() ? identity["modelName"].asString() : std::string();
    m_serialNumber = identity["serialNumber"].isString() ? identity["serialNumber"].asString() : std::string();
    m_firmware = identity["firmware"].isString() ? identity["firmware"].asString() : std::string();
    m_fiscal = identity["fiscal"].isBool() && identity["fiscal"].asBool();
    m_drawer = !m_root["drawer"].isBool() || m_root["drawer"].asBool();
    if (!loadLink(m_root["link"], error))
        return false;

    const Json::Value& tables = m_root["tables"];
    if (!tables.isNull() && !tables.isArray()) {
        error = "\"tables\" должно быть массивом";
        return false;
    }
    for (Json::ArrayIndex i = 0; i < tables.size(); ++i) {
        if (!loadTable(tables[i], i, i < undecoded.size() ? std::move(undecoded[i]) : RegisterTable::Undecoded(), error))
            return false;
    }
    const Json::Value& faults = m_root["faults"];
    if (!faults.isNull() && !faults.isArray()) {
        error = "\"faults\" должно быть массивом";
        return false;
    }
    return true;
}

RegisterTable* RegisterImage::table(unsigned id, std::string& error)
{
    const auto it = m_tables.find(id);
    if (it == m_tables.end())
        return nullptr;
    return decode(it->second, error) ? &it->second : nullptr;
}

bool RegisterImage::rowAlone(unsigned id, size_t row, const RegisterTable*& table, size_t& rowCount,
                             std::vector<uint8_t>& bytes)
{
    const auto it = m_tables.find(id);
    if (it == m_tables.end() || it->second.decoded())
        return false;
    RegisterTable& t = it->second;
    RegisterTable::Undecoded& rows = t.undecoded;
    // A read from the first row, or of more than a few rows, goes on through
    // the table: decoding it whole once costs less than row by row.
    if (row == 1 || ++rows.rowsAlone > RowsReadAlone || !rows.image->unchanged())
        return false;
    const std::string_view text = rowsText(rows);
    if (!rows.rowsFound)
        return false;
    table = &t;
    rowCount = rows.rows.size();
    bytes.clear();
    if (row < 1 || row > rowCount)
        return true;
    const auto [begin, end] = rows.rows[row - 1];
    bytes.resize(t.rowWidth);
    return RowsDecoder::decodeRow(text.data() + begin, text.data() + end, t, bytes.data());
}

const Json::Value& RegisterImage::faults() const
{
    static const Json::Value none;
    return m_root.isObject() ? m_root["faults"] : none;
}

bool RegisterImage::decodeAll(std::string& error)
{
    for (auto& entry : m_tables) {
        if (!decode(entry.second, error))
            return false;
    }
    return true;
}

void RegisterImage::apply(const Rows& replaced)
{
    for (const auto& [key, bytes] : replaced) {
        const auto it = m_tables.find(key.first);
        if (it == m_tables.end())
            continue;
        RegisterTable& t = it->second;
        if (t.decoded() && key.second >= 1 && key.second <= t.rowCount && bytes.size() == t.rowWidth)
            std::copy(bytes.begin(), bytes.end(), t.row(key.second));
    }
}

std::string RegisterImage::text(const Rows& replaced) const
{
    Json::Value root = m_root;
    for (const auto& [id, table] : m_tables) {
        Json::Value rows(Json::arrayValue);
        std::string ignored;
        if (!table.decoded()) { // not used, so as it was read
            try {
                parseJson(rowsText(table.undecoded), rows, ignored);
            } catch (const std::exception&) {
                rows = Json::Value(Json::arrayValue);
            }
            root["tables"][table.jsonIndex]["rows"] = std::move(rows);
            continue;
        }
        for (unsigned r = 0; r < table.rowCount; ++r) {
            const auto it = replaced.find({id, r + 1});
            const uint8_t* bytes = it == replaced.end() ? table.row(r + 1) : it->second.data();
            Json::Value row(Json::arrayValue);
            for (const RegisterTable::Field& field : table.fields)
                row.append(toHex(std::vector<uint8_t>(bytes + field.offset, bytes + field.offset + field.width)));
            rows.append(std::move(row));
        }
        root["tables"][table.jsonIndex]["rows"] = std::move(rows);
    }
    Json::StreamWriterBuilder writer;
    writer["indentation"] = " ";
    writer["emitUTF8"] = true;
    return Json::writeString(writer, root) + "\n";
}

bool RegisterImage::save(const std::string& path, const Rows& replaced, bool stopBeforeRename,
                         std::string& error) const
{
    const std::string text = this->text(replaced);
    std::string temp = path + TemporarySuffix + std::string(TemporaryRandomLength, 'X');
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = "не удалось создать временный файл рядом с образом: " + std::string(std::strerror(errno));
        return false;
    }
    struct stat old;
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    const bool written = writeAll(fd, text) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(temp.c_str());
        error = "не удалось записать временный файл: " + std::string(std::strerror(written ? errno : writeErrno));
        return false;
    }
    if (stopBeforeRename) {
        error = "запись прервана перед заменой файла образа";
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = "не удалось заменить файл образа: " + std::string(std::strerror(errno));
        ::unlink(temp.c_str());
        return false;
    }
    const int dir = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void RegisterImage::removeLeftovers(const std::string& path)
{
    const std::string directory = directoryOf(path);
    const auto slash = path.rfind('/');
    const std::string imageName = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* dir = ::opendir(directory.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (isTemporaryOf(entry->d_name, imageName))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace tillo_emulator
