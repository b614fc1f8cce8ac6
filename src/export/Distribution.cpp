#include "export/Distribution.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace qv {

namespace {
constexpr int kSubBits = 8;  // 256 buckets per power of two
constexpr uint64_t kSub = uint64_t{1} << kSubBits;
constexpr size_t kBucketCount = kSub + (64 - kSubBits) * kSub;
}  // namespace

size_t Distribution::Bucket(uint64_t v) {
    if (v < kSub) return static_cast<size_t>(v);
    const int e = std::bit_width(v) - 1;  // >= kSubBits
    const uint64_t sub = (v >> (e - kSubBits)) - kSub;
    return static_cast<size_t>(kSub + static_cast<uint64_t>(e - kSubBits) * kSub + sub);
}

uint64_t Distribution::BucketMiddle(size_t i) {
    if (i < kSub) return i;
    const uint64_t k = i - kSub;
    const int shift = static_cast<int>(k / kSub);
    const uint64_t low = (kSub + k % kSub) << shift;
    return low + ((uint64_t{1} << shift) >> 1);
}

void Distribution::Fold() {
    m_buckets.assign(kBucketCount, 0);
    for (int64_t v : m_values)
        ++m_buckets[Bucket(static_cast<uint64_t>(v))];
    std::vector<int64_t>().swap(m_values);
}

void Distribution::Add(int64_t value) {
    if (value < 0) value = 0;
    if (m_count == 0 || value < m_min) m_min = value;
    if (m_count == 0 || value > m_max) m_max = value;
    ++m_count;
    m_sum += static_cast<double>(value);
    if (!m_buckets.empty()) {
        ++m_buckets[Bucket(static_cast<uint64_t>(value))];
        return;
    }
    if (!m_values.empty() && value < m_values.back()) m_sorted = false;
    m_values.push_back(value);
    if (m_values.size() > kExactLimit) Fold();
}

int64_t Distribution::Quantile(double q) const {
    if (m_count == 0) return 0;
    q = std::clamp(q, 0.0, 1.0);
    const uint64_t rank = std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(q * m_count)));
    if (m_buckets.empty()) {
        if (!m_sorted) {
            std::sort(m_values.begin(), m_values.end());
            m_sorted = true;
        }
        return m_values[rank - 1];
    }
    uint64_t seen = 0;
    for (size_t i = 0; i < m_buckets.size(); ++i) {
        seen += m_buckets[i];
        if (seen >= rank)
            return std::clamp(static_cast<int64_t>(BucketMiddle(i)), m_min, m_max);
    }
    return m_max;
}

}  // namespace qv
