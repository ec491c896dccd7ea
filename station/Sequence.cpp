#include "station/Sequence.h"

#include <toml++/toml.h>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>

#include "bench/ModeTable.h"

namespace veska::station {

namespace {

/// A sequence file's fault, with where it is.
struct Fault {
    std::string text;
};

[[noreturn]] void FailAt(const std::string& source, const toml::source_region& region,
                         const std::string& what) {
    throw Fault{source + ":" + std::to_string(region.begin.line) + ":" +
                std::to_string(region.begin.column) + ": " + what};
}

[[noreturn]] void Fail(const std::string& source, const toml::node& node, const std::string& what) {
    FailAt(source, node.source(), what);
}

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

/// Refuses a key the table may not have: a misspelt limit must not go unnoticed.
void OnlyKeys(const std::string& source, const toml::table& table,
              std::initializer_list<std::string_view> allowed) {
    for (const auto& entry : table) {
        const toml::key& key = entry.first;
        if (std::find(allowed.begin(), allowed.end(), key.str()) == allowed.end()) {
            std::string list;
            for (std::string_view k : allowed) list += (list.empty() ? "" : ", ") + std::string(k);
            FailAt(source, key.source(),
                   "unknown key '" + std::string(key.str()) + "' (known: " + list + ")");
        }
    }
}

std::optional<std::string> Text(const std::string& source, const toml::table& table,
                                std::string_view key) {
    const toml::node* node = table.get(key);
    if (node == nullptr) return std::nullopt;
    if (!node->is_string()) Fail(source, *node, std::string(key) + " must be a text in quotes");
    return node->as_string()->get();
}

std::optional<double> Number(const std::string& source, const toml::table& table,
                             std::string_view key) {
    const toml::node* node = table.get(key);
    if (node == nullptr) return std::nullopt;
    double value = 0.0;
    if (node->is_integer()) {
        value = static_cast<double>(node->as_integer()->get());
    } else if (node->is_floating_point()) {
        value = node->as_floating_point()->get();
    } else {
        Fail(source, *node, std::string(key) + " must be a number");
    }
    if (!std::isfinite(value)) Fail(source, *node, std::string(key) + " must be a finite number");
    return value;
}

std::vector<int> Integers(const std::string& source, const toml::table& table,
                          std::string_view key) {
    std::vector<int> values;
    const toml::node* node = table.get(key);
    if (node == nullptr) return values;
    const toml::array* array = node->as_array();
    if (array == nullptr)
        Fail(source, *node, std::string(key) + " must be a list such as [20, 21]");
    for (const toml::node& item : *array) {
        const auto* number = item.as_integer();
        if (number == nullptr || number->get() < 0 || number->get() > 65535) {
            Fail(source, item, std::string(key) + " holds whole numbers 0..65535");
        }
        values.push_back(static_cast<int>(number->get()));
    }
    return values;
}

Applicability AppliesOf(const std::string& source, const toml::table& table) {
    return {Integers(source, table, "types"), Integers(source, table, "ranges")};
}

Limit LimitOf(const std::string& source, const toml::table& table) {
    OnlyKeys(source, table, {"name", "unit", "low", "high"});
    Limit limit;
    limit.name = Text(source, table, "name").value_or("");
    if (limit.name.empty()) Fail(source, table, "a measurement needs a name (a result of the run)");
    limit.unit = Text(source, table, "unit").value_or("");
    limit.low = Number(source, table, "low");
    limit.high = Number(source, table, "high");
    if (limit.low && limit.high && *limit.low > *limit.high) {
        Fail(source, table, "measurement '" + limit.name + "': low is above high");
    }
    return limit;
}

const bench::ModeRow* ModeOfCaption(std::string_view caption) {
    for (const bench::ModeRow& row : bench::ModeList()) {
        if (SameWord(row.caption, caption)) return &row;
    }
    return nullptr;
}

SequenceStep StepOf(const std::string& source, const toml::table& table) {
    OnlyKeys(source, table,
             {"name", "mode", "seconds", "stop_on_fail", "types", "ranges", "measurement"});
    SequenceStep step;
    const std::string mode = Text(source, table, "mode").value_or("");
    const bench::ModeRow* row = ModeOfCaption(mode);
    if (row == nullptr) {
        std::string captions;
        for (const bench::ModeRow& r : bench::ModeList()) {
            captions += (captions.empty() ? "" : ", ") + std::string(r.caption);
        }
        Fail(source, table,
             mode.empty() ? "a step needs a mode (" + captions + ")"
                          : "'" + mode + "' is not a bench mode (" + captions + ")");
    }
    step.mode = row->caption;
    step.modeCode = row->code;
    step.name = Text(source, table, "name").value_or(step.mode);
    if (step.name.empty()) Fail(source, table, "a step's name may not be empty");
    step.seconds = Number(source, table, "seconds");
    if (step.seconds && (*step.seconds <= 0.0 || *step.seconds > 86400.0)) {
        Fail(source, *table.get("seconds"), "seconds must be above 0 and at most 86400");
    }
    // A mode that never ends by itself would hold the station until someone stops it.
    if (!step.seconds && bench::RunsUntilStopped(step.modeCode)) {
        Fail(source, table,
             "step '" + step.name + "': " + std::string(row->caption) +
                 " runs until it is stopped; give it seconds");
    }
    if (const toml::node* stop = table.get("stop_on_fail")) {
        if (!stop->is_boolean()) Fail(source, *stop, "stop_on_fail must be true or false");
        step.stopOnFail = stop->as_boolean()->get();
    }
    step.applies = AppliesOf(source, table);
    if (const toml::node* list = table.get("measurement")) {
        const toml::array* array = list->as_array();
        if (array == nullptr || !array->is_array_of_tables()) {
            Fail(source, *list, "measurements are [[step.measurement]] tables");
        }
        std::set<std::string> names;
        for (const toml::node& item : *array) {
            step.measurements.push_back(LimitOf(source, *item.as_table()));
            if (!names.insert(step.measurements.back().name).second) {
                Fail(source, item,
                     "measurement '" + step.measurements.back().name +
                         "' is judged twice in this step");
            }
        }
    }
    return step;
}

Sequence SequenceOf(const std::string& source, const toml::table& root) {
    OnlyKeys(source, root, {"name", "description", "types", "ranges", "step"});
    Sequence sequence;
    sequence.name = Text(source, root, "name").value_or("");
    if (sequence.name.empty()) Fail(source, root, "the sequence needs a name");
    sequence.description = Text(source, root, "description").value_or("");
    sequence.applies = AppliesOf(source, root);
    const toml::node* steps = root.get("step");
    if (steps == nullptr || !steps->is_array_of_tables() || steps->as_array()->empty()) {
        Fail(source, steps != nullptr ? *steps : root, "the sequence needs [[step]] tables");
    }
    std::set<std::string> names;
    for (const toml::node& item : *steps->as_array()) {
        sequence.steps.push_back(StepOf(source, *item.as_table()));
        if (!names.insert(sequence.steps.back().name).second) {
            Fail(source, item,
                 "step name '" + sequence.steps.back().name +
                     "' is used twice; give each step its own name");
        }
    }
    return sequence;
}

}  // namespace

bool Applicability::Covers(const results::SensorIdentity& sensor) const {
    const auto allows = [](const std::vector<int>& list, int value) {
        return list.empty() || std::find(list.begin(), list.end(), value) != list.end();
    };
    return allows(types, sensor.type) && allows(ranges, sensor.range);
}

std::optional<Sequence> ParseSequence(const std::string& text, const std::string& source,
                                      std::string& error) {
    try {
        const toml::table root = toml::parse(text, source);
        return SequenceOf(source, root);
    } catch (const toml::parse_error& e) {
        error = source + ":" + std::to_string(e.source().begin.line) + ":" +
                std::to_string(e.source().begin.column) + ": " + std::string(e.description());
    } catch (const Fault& fault) {
        error = fault.text;
    }
    return std::nullopt;
}

std::optional<Sequence> LoadSequenceFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    return ParseSequence(text.str(), path, error);
}

}  // namespace veska::station
