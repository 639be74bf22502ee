// Any bytes as Setting.ini: every read ends with a value or the default, and
// a write or a removal changes its one key only, so the user's other lines
// survive it.
#include "app/IniFile.h"
#include "app/IniText.h"
#include "tests/fuzz/FuzzRequire.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace vardocle;
using fuzz::Require;

namespace {

const char* const kKeys[] = {"Path", "RecordCursor", "RecordTrans", "Rate", "Width", "Height"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The last key is the one written; the value has no line break, as the
    // writer makes sure.
    const std::string written = kKeys[size % std::size(kKeys)];
    const std::string value = size % 2 ? "0x7FFFFFFF" : "-12";
    const std::string changed = IniAssign(bytes, "Main", written, value);
    Require(IniLookup(changed, "Main", written) == value);
    // Another section's keys stay as they were.
    Require(IniLookup(changed, "Other", written) == IniLookup(bytes, "Other", written));
    for (const char* key : kKeys) {
        const auto before = IniLookup(bytes, "Main", key);
        if (before) {
            int number = 0;
            if (ParseIniInteger(*before, number))
                Require(before->find_first_of("0123456789") != std::string::npos);
        }
        if (key != written)
            Require(IniLookup(changed, "Main", key) == before);
    }
    // A key taken out is gone from its section; every other value stays.
    const std::string removed = IniRemove(bytes, "Main", written);
    Require(!IniLookup(removed, "Main", written));
    Require(IniLookup(removed, "Other", written) == IniLookup(bytes, "Other", written));
    for (const char* key : kKeys) {
        if (key != written)
            Require(IniLookup(removed, "Main", key) == IniLookup(bytes, "Main", key));
    }
    // A second write keeps the first.
    const std::string next = written == "Rate" ? "Width" : "Rate";
    Require(IniLookup(IniAssign(changed, "Main", next, "1"), "Main", written) == value);
    return 0;
}
