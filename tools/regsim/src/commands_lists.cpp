// The goods groups and units of measure read back as lists: after the
// context command each read with V 0 answers the next record in number
// order, as GROUPINS and MUINS stored it, and then the end-of-list code.
// The scenario may seed both lists.
#include "command_handlers.h"
#include "json_fields.h"

namespace regsim {

namespace handlers {

namespace {
Reply Next(std::map<int, std::vector<Field>>& records, int& cursor, const std::vector<Field>& request)
{
    if (request[0].number != 0) {
        auto it = records.find(static_cast<int>(request[0].number));
        return it == records.end() ? Reply::Error(codes::kNoSuchRecord) : Reply::Ok(it->second);
    }
    auto it = records.lower_bound(cursor);
    if (it == records.end()) return Reply::Error(codes::kNoMoreRecords);
    cursor = it->first + 1;
    return Reply::Ok(it->second);
}
}  // namespace

Reply CntxGroupInit(Scenario& s, const std::vector<Field>&)
{
    s.groupCursor = 0;
    return Reply::Ok({});
}

Reply GroupRead(Scenario& s, const std::vector<Field>& request) { return Next(s.groups, s.groupCursor, request); }

Reply CntxMuInit(Scenario& s, const std::vector<Field>&)
{
    s.unitCursor = 0;
    return Reply::Ok({});
}

Reply MuRead(Scenario& s, const std::vector<Field>& request) { return Next(s.units, s.unitCursor, request); }

}  // namespace handlers

void MasterListsFromJson(const nlohmann::json& doc, Scenario& s)
{
    // As GROUPINS (V, S, B, B) and MUINS (V, S name, S short name, B) store them.
    for (const char* key : {"groups", "units"}) {
        if (!doc.contains(key)) continue;
        const nlohmann::json& list = doc[key];
        if (!list.is_array()) throw std::runtime_error(std::string(key) + ": a list of {number, name} is expected");
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string where = std::string(key) + "[" + std::to_string(i) + "]";
            const nlohmann::json& e = list[i];
            if (!e.is_object() || !e.contains("number") || !e["number"].is_number_integer() ||
                e["number"].get<int64_t>() < 1 || e["number"].get<int64_t>() > 0xFFFF)
                throw std::runtime_error(where + ": a number 1-65535 is expected");
            const int number = e["number"].get<int>();
            const std::string name = TextFromJson(e.value("name", nlohmann::json("")), (where + ".name").c_str());
            if (key[0] == 'g')
                s.groups[number] = {Field::V(number), Field::S(name), Field::B(0), Field::B(0)};
            else
                s.units[number] = {Field::V(number), Field::S(name), Field::S(""), Field::B(0)};
        }
    }
}

}  // namespace regsim
