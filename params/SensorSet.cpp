#include "params/SensorSet.h"

#include "lang/Language.h"
#include "params/ParamCodings.h"
#include "params/ParamGrid.h"

namespace veska::params {

namespace {

constexpr char kCR = '\r';  // line break of the message texts

uint32_t SizeMask(uint8_t size) {
    return size >= 4 ? 0xFFFFFFFFu : (uint32_t{1} << (8 * size)) - 1;
}

bool SharesBytes(const ParamDescriptor& a, const ParamDescriptor& b) {
    return a.address == b.address && a.size == b.size;
}

/// A row's name without the indent of the grouped rows.
std::string_view PlainName(const std::string& name) {
    const size_t first = name.find_first_not_of(' ');
    return first == std::string::npos ? std::string_view() : std::string_view(name).substr(first);
}

std::string SensorText(const ParamTable& table, const ValueStores& values, int i,
                       const lang::TextTable& texts) {
    if (!values.sensorSet.known[i]) return texts.Text(lang::ProgramText::UnsentUnknown);
    return ShownText(table, i, static_cast<int32_t>(values.sensorSet.value[i]), texts);
}

}  // namespace

void LearnSensorValue(const ParamTable& table, SensorSet& set, int i, int32_t value) {
    if (i < 0 || i >= kParamCount) return;
    const uint32_t bytes = static_cast<uint32_t>(value) & SizeMask(table[i].size);
    for (int j = 0; j < kParamCount; ++j) {
        if (!SharesBytes(table[i], table[j])) continue;
        set.value[j] = bytes;
        set.known[j] = true;
    }
    set.contact = true;
}

void ForgetSensorValue(const ParamTable& table, SensorSet& set, int i) {
    if (i < 0 || i >= kParamCount) return;
    for (int j = 0; j < kParamCount; ++j) {
        if (SharesBytes(table[i], table[j])) set.known[j] = false;
    }
}

uint32_t RowBits(const ParamTable& table, int i) {
    switch (i) {
        case kRowControlSample:
            return kSampleBit;
        case kRowWindowControl:
            return kWindowBit;
        case kRowAlControl:
            return kAlMask;
        case kRowCanMode:
            return kCanModeMask;
        case kRowAveragingMode:
            return kAveragingBit;
        default:
            return SizeMask(table[i].size);
    }
}

bool RowUnsent(const ParamTable& table, const ValueStores& values, int i) {
    if (i < 0 || i >= kParamCount) return false;
    if (!values.sensorSet.known[i]) return values.sensorSet.contact;
    const uint32_t bits = RowBits(table, i);
    return (static_cast<uint32_t>(values.workValues[i]) & bits) !=
           (values.sensorSet.value[i] & bits);
}

std::vector<int> UnsentRows(const ParamTable& table, const ValueStores& values) {
    std::vector<int> rows;
    for (int i = 0; i < kGridParamCount; ++i) {
        if (RowUnsent(table, values, i)) rows.push_back(i);
    }
    return rows;
}

std::string UnsentNote(const ParamTable& table, const ValueStores& values, int i,
                       const lang::TextTable& texts) {
    return texts.Text(lang::ProgramText::UnsentNote, {SensorText(table, values, i, texts)});
}

void UpdateGridMarks(ParamGrid& grid, const ValueStores& values, bool notify) {
    const ParamTable& table = grid.Table();
    for (int i = 0; i < grid.ParamRowCount(); ++i) {
        const bool unsent = RowUnsent(table, values, i);
        grid.SetMark(i, unsent, unsent ? UnsentNote(table, values, i, grid.Texts()) : std::string(),
                     notify);
    }
}

std::string DiscardEditsQuestion(const ParamTable& table, const ValueStores& values,
                                 const std::vector<int>& rows, std::string_view consequence,
                                 const lang::TextTable& texts) {
    std::string text = texts.Text(lang::ProgramText::UnsentHeading);
    for (int i : rows) {
        text += kCR;
        text += "'";
        text += PlainName(table[i].name);
        text += "': " + ShownText(table, i, values.workValues[i], texts) + " (" +
                texts.Text(lang::ProgramText::UnsentSensorValue,
                           {SensorText(table, values, i, texts)}) +
                ")";
    }
    text += kCR;
    text += consequence;
    text += " " + texts.Text(lang::ProgramText::DiscardQuestion);
    return text;
}

}  // namespace veska::params
