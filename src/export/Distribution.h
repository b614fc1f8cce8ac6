// The distribution of a quantity (message lengths, idle gaps, turnaround
// times) in bounded memory: every value is kept exactly up to kExactLimit
// values, so that small captures give exact quantiles; beyond that the values
// are folded into a log-linear histogram whose buckets are at most 1/256 of
// their value wide. Count, minimum, maximum and mean are always exact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

class Distribution {
  public:
    static constexpr size_t kExactLimit = 1 << 16;

    void Add(int64_t value);  // negative values count as 0

    uint64_t Count() const { return m_count; }
    int64_t Min() const { return m_count ? m_min : 0; }
    int64_t Max() const { return m_count ? m_max : 0; }
    double Mean() const { return m_count ? m_sum / static_cast<double>(m_count) : 0; }
    // The nearest-rank quantile: the smallest value that at least q of all
    // values do not exceed (q = 0.5 the median, 0.99 the 99th percentile).
    // Once folded, the middle of its bucket, within the minimum and maximum.
    int64_t Quantile(double q) const;
    bool Exact() const { return m_buckets.empty(); }

  private:
    static size_t Bucket(uint64_t v);
    static uint64_t BucketMiddle(size_t i);
    void Fold();

    uint64_t m_count = 0;
    int64_t m_min = 0, m_max = 0;
    double m_sum = 0;
    mutable std::vector<int64_t> m_values;
    mutable bool m_sorted = true;
    std::vector<uint64_t> m_buckets;
};

}  // namespace qv
