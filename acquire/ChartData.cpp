#include "acquire/ChartData.h"

#include "lang/Language.h"

#include <algorithm>
#include <cmath>

#include "lang/Language.h"
#include "lang/NumberFormat.h"

namespace veska::acquire {

void RunningStatistics::Add(double value) {
    if (!std::isfinite(value)) return;
    ++count_;
    if (count_ == 1) {
        minimum_ = maximum_ = value;
    } else {
        minimum_ = std::min(minimum_, value);
        maximum_ = std::max(maximum_, value);
    }
    const double delta = value - mean_;
    mean_ += delta / static_cast<double>(count_);
    m2_ += delta * (value - mean_);
}

SampleStatistics RunningStatistics::Result() const {
    SampleStatistics s;
    s.count = count_;
    if (count_ == 0) return s;
    s.minimum = minimum_;
    s.maximum = maximum_;
    s.mean = mean_;
    s.deviation = count_ > 1 ? std::sqrt(std::max(0.0, m2_ / static_cast<double>(count_))) : 0.0;
    return s;
}

SampleStatistics Summarise(std::span<const double> values) {
    RunningStatistics running;
    for (double v : values) running.Add(v);
    return running.Result();
}

std::string StatisticsText(const SampleStatistics& statistics, std::string_view unit, double rate,
                           const StatisticsWords& words) {
    if (statistics.count == 0) return {};
    const std::string suffix = unit.empty() ? std::string() : " " + std::string(unit);
    std::string text = words.count + " " + std::to_string(statistics.count);
    text += "   " + words.minimum + " " + lang::FormatFixed(statistics.minimum, 3);
    text += "   " + words.maximum + " " + lang::FormatFixed(statistics.maximum, 3);
    text += "   " + words.mean + " " + lang::FormatFixed(statistics.mean, 3);
    text += "   " + words.deviation + " " + lang::FormatFixed(statistics.deviation, 3) + suffix;
    if (rate > 0.0 && std::isfinite(rate)) {
        text += "   " + lang::FillText(words.rate, {lang::FormatFixed(rate, 0)});
    }
    return text;
}

std::string UnitOf(const ValueLabel& label) {
    std::string_view unit = label.unit == nullptr ? std::string_view() : label.unit;
    while (!unit.empty() && unit.front() == ' ') unit.remove_prefix(1);
    return std::string(unit);
}

StatisticsWords StatisticsWordsOf(const lang::TextTable& texts, bool samples) {
    using lang::ProgramText;
    StatisticsWords words;
    words.count = texts.Text(ProgramText::StatisticsCount);
    words.minimum = texts.Text(ProgramText::StatisticsMinimum);
    words.maximum = texts.Text(ProgramText::StatisticsMaximum);
    words.mean = texts.Text(ProgramText::StatisticsMean);
    words.deviation = texts.Text(ProgramText::StatisticsDeviation);
    words.rate = texts.Text(samples ? ProgramText::SampleRate : ProgramText::ResultRate);
    return words;
}

std::pair<std::string, std::string> AxisTitlesFor(std::string_view unit,
                                                  const lang::TextTable& texts) {
    using lang::ProgramText;
    if (unit.empty()) return {};
    const std::string bracket = " [" + std::string(unit) + "]";
    std::string quantity = AxisTitlesFor(unit).first;
    quantity = quantity.substr(0, quantity.size() - bracket.size());
    if (unit == "mm") quantity = texts.Text(ProgramText::AxisDistance);
    if (unit == "px") quantity = texts.Text(ProgramText::AxisPosition);
    if (unit == "cl") quantity = texts.Text(ProgramText::AxisLevel);
    return {quantity + bracket, texts.Text(ProgramText::AxisSample)};
}

std::pair<std::string, std::string> AxisTitlesFor(std::string_view unit) {
    if (unit.empty()) return {};
    const std::string bracket = " [" + std::string(unit) + "]";
    std::string quantity = "Value";
    if (unit == "mm") quantity = "Distance";
    if (unit == "px") quantity = "Position";
    if (unit == "cl") quantity = "Level";
    return {quantity + bracket, "Sample"};
}

void MinMaxDecimator::Bucket::Take(int64_t x, double value) {
    if (!any) {
        any = true;
        minX = maxX = x;
        min = max = value;
        return;
    }
    if (value < min) {
        min = value;
        minX = x;
    }
    if (value > max) {
        max = value;
        maxX = x;
    }
}

void MinMaxDecimator::Bucket::Take(const Bucket& other) {
    if (!other.any) return;
    Take(other.minX, other.min);
    Take(other.maxX, other.max);
}

MinMaxDecimator::MinMaxDecimator(int limit) : limit_(std::max(2, limit)) {
    buckets_.reserve(static_cast<size_t>(limit_));
}

void MinMaxDecimator::Reset() {
    width_ = 1;
    count_ = 0;
    buckets_.clear();
}

void MinMaxDecimator::Halve() {
    const size_t pairs = buckets_.size() / 2;
    for (size_t i = 0; i < pairs; ++i) {
        Bucket merged = buckets_[2 * i];
        merged.Take(buckets_[2 * i + 1]);
        buckets_[i] = merged;
    }
    if (buckets_.size() % 2 != 0) buckets_[pairs] = buckets_.back();
    buckets_.resize((buckets_.size() + 1) / 2);
    width_ *= 2;
}

void MinMaxDecimator::Add(double value) {
    const int64_t x = count_++;
    auto index = static_cast<size_t>(x / width_);
    if (index >= static_cast<size_t>(limit_)) {
        Halve();
        index = static_cast<size_t>(x / width_);
    }
    if (index >= buckets_.size()) buckets_.resize(index + 1);
    if (std::isfinite(value)) buckets_[index].Take(x, value);
}

void MinMaxDecimator::Envelope(std::vector<double>& x, std::vector<double>& y) const {
    x.clear();
    y.clear();
    for (const Bucket& b : buckets_) {
        if (!b.any) continue;
        const bool minFirst = b.minX <= b.maxX;
        const int64_t x1 = minFirst ? b.minX : b.maxX;
        const int64_t x2 = minFirst ? b.maxX : b.minX;
        x.push_back(static_cast<double>(x1));
        y.push_back(minFirst ? b.min : b.max);
        if (x2 != x1) {
            x.push_back(static_cast<double>(x2));
            y.push_back(minFirst ? b.max : b.min);
        }
    }
}

}  // namespace veska::acquire
