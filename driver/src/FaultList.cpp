#include "FaultList.h"

#include <json/reader.h>
#include <json/value.h>

#include <exception>
#include <memory>
#include <sys/stat.h>

namespace tillo_emulator {

namespace {

long optionalNumber(const Json::Value& v)
{
    return v.isInt64() && v.asInt64() >= 0 ? long(v.asInt64()) : -1;
}

bool matches(long wanted, long actual) { return wanted < 0 || wanted == actual; }

} // namespace

FaultList::Stamp FaultList::stampOf(const std::string& path)
{
    Stamp s;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = uint64_t(st.st_size);
    s.seconds = st.st_mtim.tv_sec;
    s.nanoseconds = st.st_mtim.tv_nsec;
    return s;
}

void FaultList::clear()
{
    m_faults.clear();
    m_path.clear();
    m_stamp = Stamp();
    m_loaded = false;
}

void FaultList::remember(const std::string& path)
{
    m_path = path;
    m_stamp = stampOf(path);
    m_loaded = true;
}

void FaultList::take(const std::string& path, const Stamp& stamp, const Json::Value& faults)
{
    clear();
    m_path = path;
    m_stamp = stamp;
    m_loaded = true;
    readFaults(faults);
}

void FaultList::read(const std::string& content)
{
    m_faults.clear();
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    bool parsed = false;
    try {
        parsed = reader->parse(content.data(), content.data() + content.size(), &root, &errors);
    } catch (const std::exception&) { // e.g. nesting beyond the parser's limit
        parsed = false;
    }
    if (parsed && root.isObject())
        readFaults(root["faults"]);
}

void FaultList::readFaults(const Json::Value& faults)
{
    m_faults.clear();
    if (!faults.isArray())
        return;
    for (const Json::Value& f : faults) {
        if (!f.isObject() || !f["call"].isString())
            continue;
        Fault fault;
        fault.call = f["call"].asString();
        fault.table = optionalNumber(f["table"]);
        fault.row = optionalNumber(f["row"]);
        fault.field = optionalNumber(f["field"]);
        fault.query = optionalNumber(f["query"]);
        fault.after = f["after"].isUInt64() ? f["after"].asUInt64() : 0;
        fault.times = f["times"].isInt64() && f["times"].asInt64() >= 0 ? f["times"].asInt64() : -1;
        fault.result.code = f["code"].isInt() ? f["code"].asInt() : 1;
        fault.result.description =
            f["description"].isString() ? f["description"].asString() : std::string("Неисправность ККТ");
        fault.result.stage = f["stage"].isString() ? f["stage"].asString() : std::string();
        fault.result.throws = f["throws"].isBool() && f["throws"].asBool();
        m_faults.push_back(std::move(fault));
    }
}

bool FaultList::check(const Call& call, Fired& fired)
{
    for (Fault& f : m_faults) {
        if (f.call != call.name || !matches(f.table, call.table) || !matches(f.row, call.row) ||
            !matches(f.field, call.field) || !matches(f.query, call.query))
            continue;
        ++f.seen;
        if (f.seen <= f.after || (f.times >= 0 && f.fired >= f.times))
            continue;
        ++f.fired;
        fired = f.result;
        return true;
    }
    return false;
}

} // namespace tillo_emulator
