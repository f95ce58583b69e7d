#pragma once

#include "RegisterLink.h"
#include "RegisterTable.h"

#include <json/value.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tillo_emulator {

// The register as its image file describes it: identity, tables, drawer,
// link address and the injected faults (kept as JSON for FaultList). The
// rows of a large table are decoded when the table is first used.
class RegisterImage
{
public:
    using RowKey = std::pair<unsigned, unsigned>; // table, row from 1
    using Rows = std::map<RowKey, std::vector<uint8_t>>;

    // Loads and checks the image; on failure returns false with a reason.
    bool load(const std::string& path, std::string& error);
    // The same for the file's content.
    bool parse(const std::string& content, std::string& error);
    // Decodes the rows of every table not used yet; false with a reason when
    // one of them is broken.
    bool decodeAll(std::string& error);
    // The image file's content with the given rows replaced: every cell in
    // hex, every other key as loaded. Call decodeAll first.
    std::string text(const Rows& replaced) const;

    // Writes the image with the given rows replaced, atomically: a temporary
    // file beside it, flushed, then renamed over it. With stopBeforeRename the
    // temporary file is left as a crash would leave it and the image stays.
    bool save(const std::string& path, const Rows& replaced, bool stopBeforeRename, std::string& error) const;
    // Takes the rows into the image in memory (after a successful save).
    void apply(const Rows& replaced);
    // Removes the temporary files that interrupted saves left beside the
    // image. Only the holder of the image's lock may call it.
    static void removeLeftovers(const std::string& path);

    // Null when there is no such table, or (with a reason) when its rows are broken.
    RegisterTable* table(unsigned id, std::string& error);
    // For a read of one whole row of a table not decoded yet: the table and
    // its row count, and the row's bytes (empty when there is no such row)
    // taken from that row's text alone, the other rows left as they are.
    // False when the table is decoded already, for the first row or past
    // the first few rows read so (a read that goes on through the table), or
    // when its text or the row's is not of the usual forms: table() then
    // decodes it and names the fault.
    bool rowAlone(unsigned id, size_t row, const RegisterTable*& table, size_t& rowCount, std::vector<uint8_t>& bytes);
    // The image's "faults" (null when it has none).
    const Json::Value& faults() const;

    unsigned modelCode() const { return m_modelCode; }
    const std::string& modelName() const { return m_modelName; }
    const std::string& serialNumber() const { return m_serialNumber; }
    const std::string& firmware() const { return m_firmware; }
    bool fiscal() const { return m_fiscal; }
    bool hasDrawer() const { return m_drawer; }
    const RegisterLink& link() const { return m_link; }

    static std::string toHex(const std::vector<uint8_t>& bytes);
    // The typed forms of a cell: {"text": ...}, {"uint": n}, {"bcd": "digits"};
    // false when the number does not fit the field.
    static void textBytes(std::string_view text, const RegisterTable::Field& field, std::vector<uint8_t>& bytes);
    static bool uintBytes(uint64_t value, const RegisterTable::Field& field, std::vector<uint8_t>& bytes);
    static bool bcdBytes(std::string_view digits, const RegisterTable::Field& field, std::vector<uint8_t>& bytes);
    static bool fromHex(const std::string& text, std::vector<uint8_t>& bytes);

private:
    bool parseWhole(const std::shared_ptr<const ImageText>& content, std::string& error);
    bool parseText(std::string_view content, std::vector<RegisterTable::Undecoded> undecoded, std::string& error);
    bool loadTable(const Json::Value& json, unsigned index, RegisterTable::Undecoded undecoded, std::string& error);
    static bool decodeRows(RegisterTable& table, const Json::Value& rows, std::string& error);
    static bool decode(RegisterTable& table, std::string& error);
    bool loadLink(const Json::Value& json, std::string& error);
    static bool cellBytes(const Json::Value& cell, const RegisterTable::Field& field, std::vector<uint8_t>& bytes,
                          std::string& error);

    Json::Value m_root;
    std::map<unsigned, RegisterTable> m_tables;
    unsigned m_modelCode = 0;
    std::string m_modelName;
    std::string m_serialNumber;
    std::string m_firmware;
    bool m_fiscal = false;
    bool m_drawer = true;
    RegisterLink m_link;
};

} // namespace tillo_emulator
