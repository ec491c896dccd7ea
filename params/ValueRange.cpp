#include "params/ValueRange.h"

#include <algorithm>

#include "lang/Language.h"
#include "params/ParamCodings.h"

namespace veska::params {

namespace {

constexpr size_t kListedWords = 12;  ///< longer pick lists are named by their ends

/// A pick list that codes numbers: the value must be one the list shows.
bool ListIsTheCoding(Coding coding) {
    return coding == Coding::UartBaud || coding == Coding::LockTime || coding == Coding::CanBaud;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

WritableRange RangeOf(const ParamTable& table, int i) {
    const ParamDescriptor& row = table[i];
    int64_t low = 0;
    int64_t high = (int64_t{1} << (8 * row.size)) - 1;
    if (CodingOf(i) == Coding::Signed16) {
        low = INT16_MIN;
        high = INT16_MAX;
    }
    if (CodingOf(i) == Coding::DottedQuad) return {INT32_MIN, INT32_MAX};
    return {std::max<int64_t>(low, row.minimum), std::min<int64_t>(high, row.maximum)};
}

bool Writable(const ParamTable& table, int i, int32_t v, const lang::TextTable& texts) {
    if (i < 0 || i >= kParamCount) return false;
    const Coding coding = i < kGridParamCount ? CodingOf(i) : Coding::Decimal;
    if (coding == Coding::DottedQuad) return true;
    if (ListIsTheCoding(coding)) {
        const std::vector<std::string> list = PickList(i, texts);
        return std::find(list.begin(), list.end(), ShownText(table, i, v, texts)) != list.end();
    }
    const WritableRange range = RangeOf(table, i);
    return v >= range.lowest && v <= range.highest;
}

std::string AllowedText(const ParamTable& table, int i, const lang::TextTable& texts) {
    const Coding coding = CodingOf(i);
    if (table[i].editStyle == kEditPickList && coding != Coding::PickDecimal) {
        const std::vector<std::string> list = PickList(i, texts);
        std::string text;
        if (list.size() > kListedWords) return Trimmed(list.front()) + " … " + list.back();
        for (const std::string& word : list) text += (text.empty() ? "" : ", ") + word;
        return text;
    }
    const WritableRange range = RangeOf(table, i);
    if (coding == Coding::Percent) return "0 … 100 %";
    return Trimmed(ShownText(table, i, static_cast<int32_t>(range.lowest), texts)) + " … " +
           Trimmed(ShownText(table, i, static_cast<int32_t>(range.highest), texts));
}

std::string RefusedEntryText(const ParamTable& table, int i, const std::string& typed,
                             const lang::TextTable& texts) {
    const bool list = table[i].editStyle == kEditPickList && CodingOf(i) != Coding::PickDecimal;
    return texts.Text(list ? lang::ProgramText::NotInList : lang::ProgramText::OutOfRange,
                      {Trimmed(table[i].name), typed, AllowedText(table, i, texts)});
}

std::string AllowedNote(const ParamTable& table, int i, const lang::TextTable& texts) {
    const bool list = table[i].editStyle == kEditPickList && CodingOf(i) != Coding::PickDecimal;
    return texts.Text(list ? lang::ProgramText::AllowedValues : lang::ProgramText::AllowedRange,
                      {AllowedText(table, i, texts)});
}

std::vector<int> UnwritableRows(const ParamTable& table, const ValueStores& values,
                                const std::vector<int>& rows, const lang::TextTable& texts) {
    std::vector<int> refused;
    for (int i : rows) {
        if (!Writable(table, i, values.workValues[i], texts)) refused.push_back(i);
    }
    return refused;
}

std::string RefusedWriteText(const ParamTable& table, const ValueStores& values,
                             const std::vector<int>& rows, const lang::TextTable& texts) {
    std::string text;
    for (int i : rows) {
        if (!text.empty()) text += '\r';
        text += texts.Text(lang::ProgramText::RefusedWrite,
                           {Trimmed(table[i].name), std::to_string(values.workValues[i]),
                            AllowedText(table, i, texts)});
    }
    return text;
}

}  // namespace veska::params
