// veskactl bench: the mode words and the ways a headless run ends.
#include <algorithm>
#include <cctype>

#include "params/ParamCodings.h"
#include "tools/veskactl/BenchCommand.h"

namespace veska::tools {

namespace {

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

const char* RunEndName(RunEnd end) {
    switch (end) {
        case RunEnd::Self:
            return "self";
        case RunEnd::TimeLimit:
            return "time limit";
        case RunEnd::Interrupted:
            return "interrupted";
        case RunEnd::Failure:
            return "failure";
        case RunEnd::Lost:
            return "sensor lost";
    }
    return "failure";
}

const bench::ModeRow* ResolveMode(const std::string& word) {
    for (const bench::ModeRow& row : bench::ModeList()) {
        if (SameWord(row.caption, word)) return &row;
    }
    int32_t code = 0;
    if (!params::ParseInteger(word, code)) return nullptr;
    return bench::FindMode(code);
}

std::string AllowedCaptions() {
    std::string text;
    for (const bench::ModeRow& row : bench::ModeList()) {
        if (!text.empty()) text += ", ";
        text += row.caption;
    }
    return text;
}

}  // namespace veska::tools
