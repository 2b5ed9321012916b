#include "kavrel/hid/report_descriptor.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace kavrel::hid {

namespace {

constexpr std::size_t kMaxGlobalStack = 16;
constexpr std::size_t kMaxLocalUsages = 1024;
constexpr std::uint64_t kMaxReportBits = (kMaxReportSize - 1) * 8;

struct Globals {
    std::uint16_t usagePage = 0;
    std::int64_t logicalMin = 0;
    std::int64_t logicalMax = 0;
    std::int64_t physicalMin = 0;
    std::int64_t physicalMax = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

struct Locals {
    std::vector<UsageRange> usages;
    bool haveMin = false;
    bool haveMax = false;
    std::uint32_t min = 0; // extended (page << 16 | usage) when given with 4 bytes
    std::uint32_t max = 0;
    bool minExtended = false;
    std::uint16_t minPage = 0;
};

std::int32_t clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Walks the usages of a local list in order; past the end the last usage repeats.
class UsageCursor {
public:
    explicit UsageCursor(const std::vector<UsageRange>& r) : ranges_(r) {}
    UsageRange next() {
        if (ranges_.empty()) return {};
        const UsageRange& r = ranges_[range_];
        UsageRange u{r.page, static_cast<std::uint16_t>(r.min + offset_), static_cast<std::uint16_t>(r.min + offset_)};
        if (r.min + offset_ < r.max) {
            ++offset_;
        } else if (range_ + 1 < ranges_.size()) {
            ++range_;
            offset_ = 0;
        }
        return u;
    }

private:
    const std::vector<UsageRange>& ranges_;
    std::size_t range_ = 0;
    std::uint32_t offset_ = 0;
};

struct Parser {
    ReportDescriptor out;
    std::string error;
    Globals g;
    std::vector<Globals> stack;
    Locals l;
    int depth = 0;
    int current = -1; // top-level collection being parsed
    bool sawReportId = false;
    bool sawMainWithoutId = false;
    std::array<std::array<std::uint64_t, 256>, kReportTypes> bits{};
    std::vector<std::array<std::array<bool, 256>, kReportTypes>> used;

    bool fail(const char* why) {
        error = why;
        return false;
    }

    void addUsage(std::uint32_t data, std::size_t size) {
        if (l.usages.size() >= kMaxLocalUsages) return;
        std::uint16_t page = size == 4 ? static_cast<std::uint16_t>(data >> 16) : g.usagePage;
        auto u = static_cast<std::uint16_t>(data & 0xFFFF);
        l.usages.push_back({page, u, u});
    }

    bool addRangeIfComplete() {
        if (!(l.haveMin && l.haveMax)) return true;
        auto lo = static_cast<std::uint16_t>(l.min & 0xFFFF);
        auto hi = static_cast<std::uint16_t>(l.max & 0xFFFF);
        if (hi < lo) return fail("usage maximum below usage minimum");
        if (l.usages.size() < kMaxLocalUsages) l.usages.push_back({l.minExtended ? l.minPage : g.usagePage, lo, hi});
        l.haveMin = l.haveMax = false;
        return true;
    }

    bool mainItem(ReportType type, std::uint32_t flags) {
        if (g.reportId == 0 && sawReportId) return fail("main item without report id in a descriptor that uses them");
        if (g.reportId == 0) sawMainWithoutId = true;
        if (sawReportId && sawMainWithoutId) return fail("main items both with and without report ids");
        const std::uint64_t fieldBits = static_cast<std::uint64_t>(g.reportSize) * g.reportCount;
        auto t = static_cast<std::size_t>(type);
        std::uint64_t& offset = bits[t][g.reportId];
        const std::uint64_t position = offset;
        offset += fieldBits;
        if (offset > kMaxReportBits) return fail("report longer than the limit");
        if (current < 0) return true; // fields outside any collection still occupy their bits
        if (fieldBits == 0) return true;
        used[current][t][g.reportId] = true;
        const bool constant = flags & 0x01;
        const bool variable = flags & 0x02;
        const bool nullState = flags & 0x40;
        if (constant || l.usages.empty() || g.reportSize > 32) return true;
        TopCollection& c = out.collections[current];

        auto room = [&](std::size_t n) {
            return c.buttonCaps[t].size() + c.valueCaps[t].size() + n <= kMaxCapsPerCollection;
        };
        if (!variable || g.reportSize == 1) {
            if (!room(1)) return fail("too many capabilities");
            ButtonCaps b;
            b.usagePage = l.usages.front().page;
            b.reportId = g.reportId;
            b.isArray = !variable;
            b.usages = l.usages;
            b.usageMin = 0xFFFF;
            b.usageMax = 0;
            for (const UsageRange& r : l.usages) {
                if (r.page != b.usagePage) continue;
                b.usageMin = std::min(b.usageMin, r.min);
                b.usageMax = std::max(b.usageMax, r.max);
            }
            b.bitPosition = static_cast<std::uint32_t>(position);
            b.bitSize = static_cast<std::uint16_t>(g.reportSize);
            b.reportCount = static_cast<std::uint16_t>(std::min<std::uint32_t>(g.reportCount, 0xFFFF));
            b.logicalMin = clamp32(g.logicalMin);
            b.logicalMax = clamp32(g.logicalMax);
            c.buttonCaps[t].push_back(std::move(b));
            return true;
        }
        // Variable multi-bit fields: one capability per run of consecutive usages.
        UsageCursor cursor(l.usages);
        ValueCaps* run = nullptr;
        for (std::uint32_t i = 0; i < g.reportCount; ++i) {
            UsageRange u = cursor.next();
            if (run && run->usagePage == u.page && u.min == run->usageMax + 1 && run->reportCount < 0xFFFF) {
                run->usageMax = u.min;
                run->isRange = true;
                ++run->reportCount;
                continue;
            }
            if (!room(1)) return fail("too many capabilities");
            ValueCaps v;
            v.usagePage = u.page;
            v.reportId = g.reportId;
            v.usageMin = v.usageMax = u.min;
            v.bitPosition = static_cast<std::uint32_t>(position + static_cast<std::uint64_t>(i) * g.reportSize);
            v.bitSize = static_cast<std::uint16_t>(g.reportSize);
            v.logicalMin = clamp32(g.logicalMin);
            v.logicalMax = clamp32(g.logicalMax);
            v.physicalMin = clamp32(g.physicalMin);
            v.physicalMax = clamp32(g.physicalMax);
            v.hasNull = nullState;
            c.valueCaps[t].push_back(v);
            run = &c.valueCaps[t].back();
        }
        return true;
    }

    bool item(std::uint8_t type, std::uint8_t tag, std::uint32_t u, std::int32_t s, std::size_t size) {
        switch (type) {
        case 0: // main
            switch (tag) {
            case 0x8: if (!mainItem(ReportType::Input, u)) return false; break;
            case 0x9: if (!mainItem(ReportType::Output, u)) return false; break;
            case 0xB: if (!mainItem(ReportType::Feature, u)) return false; break;
            case 0xA: // collection
                if (depth == 0) {
                    if (out.collections.size() >= 255) return fail("too many top-level collections");
                    TopCollection c;
                    if (!l.usages.empty()) {
                        c.usagePage = l.usages.front().page;
                        c.usage = l.usages.front().min;
                    } else {
                        c.usagePage = g.usagePage;
                    }
                    out.collections.push_back(std::move(c));
                    used.emplace_back();
                    current = static_cast<int>(out.collections.size()) - 1;
                }
                if (++depth > 64) return fail("collections nested too deeply");
                break;
            case 0xC:
                if (depth == 0) return fail("end collection without collection");
                if (--depth == 0) current = -1;
                break;
            default: break;
            }
            l = Locals{};
            return true;
        case 1: // global
            switch (tag) {
            case 0x0: g.usagePage = static_cast<std::uint16_t>(u); break;
            case 0x1: g.logicalMin = s; break;
            case 0x2: g.logicalMax = g.logicalMin < 0 ? std::int64_t{s} : std::int64_t{u}; break;
            case 0x3: g.physicalMin = s; break;
            case 0x4: g.physicalMax = g.physicalMin < 0 ? std::int64_t{s} : std::int64_t{u}; break;
            case 0x7:
                if (u > 256) return fail("report size too large");
                g.reportSize = u;
                break;
            case 0x8:
                if (u == 0 || u > 255) return fail("report id out of range");
                g.reportId = static_cast<std::uint8_t>(u);
                sawReportId = true;
                break;
            case 0x9:
                if (u > kMaxReportBits) return fail("report count too large");
                g.reportCount = u;
                break;
            case 0xA:
                if (stack.size() >= kMaxGlobalStack) return fail("push too deep");
                stack.push_back(g);
                break;
            case 0xB:
                if (stack.empty()) return fail("pop without push");
                g = stack.back();
                stack.pop_back();
                break;
            default: break; // unit exponent, unit: not needed
            }
            return true;
        case 2: // local
            switch (tag) {
            case 0x0: addUsage(u, size); break;
            case 0x1:
                l.haveMin = true;
                l.min = u;
                l.minExtended = size == 4;
                l.minPage = static_cast<std::uint16_t>(u >> 16);
                return addRangeIfComplete();
            case 0x2:
                l.haveMax = true;
                l.max = u;
                return addRangeIfComplete();
            default: break;
            }
            return true;
        default: return true; // reserved
        }
    }

    bool run(std::span<const std::uint8_t> d) {
        if (d.size() > kMaxDescriptorSize) return fail("descriptor too long");
        std::size_t i = 0;
        while (i < d.size()) {
            const std::uint8_t prefix = d[i++];
            if (prefix == 0xFE) { // long item: skipped
                if (d.size() - i < 2) return fail("truncated long item");
                const std::size_t n = d[i];
                i += 2;
                if (d.size() - i < n) return fail("truncated long item");
                i += n;
                continue;
            }
            std::size_t size = prefix & 0x03;
            if (size == 3) size = 4;
            if (d.size() - i < size) return fail("truncated item");
            std::uint32_t u = 0;
            for (std::size_t k = 0; k < size; ++k) u |= static_cast<std::uint32_t>(d[i + k]) << (8 * k);
            std::int32_t s = 0;
            if (size == 1) s = static_cast<std::int8_t>(u);
            else if (size == 2) s = static_cast<std::int16_t>(u);
            else if (size == 4) s = static_cast<std::int32_t>(u);
            i += size;
            if (!item(static_cast<std::uint8_t>((prefix >> 2) & 0x03), static_cast<std::uint8_t>(prefix >> 4), u, s, size))
                return false;
        }
        if (depth != 0) return fail("unbalanced collections");
        if (out.collections.empty()) return fail("no top-level collection");
        out.usesReportIds = sawReportId;
        for (std::size_t c = 0; c < out.collections.size(); ++c) {
            TopCollection& tc = out.collections[c];
            for (std::size_t t = 0; t < kReportTypes; ++t) {
                std::uint64_t maxBits = 0;
                bool any = false;
                for (std::size_t id = 0; id < 256; ++id) {
                    if (!used[c][t][id]) continue;
                    any = true;
                    maxBits = std::max(maxBits, bits[t][id]);
                    if (std::find(tc.reportIds.begin(), tc.reportIds.end(), id) == tc.reportIds.end() && sawReportId)
                        tc.reportIds.push_back(static_cast<std::uint8_t>(id));
                }
                if (any) tc.reportLength[t] = static_cast<std::uint16_t>((maxBits + 7) / 8 + 1);
            }
            std::sort(tc.reportIds.begin(), tc.reportIds.end());
        }
        return true;
    }
};

// Bits [pos, pos+size) of the report data that follows the report-id byte; size <= 32.
bool extract(std::span<const std::uint8_t> report, std::uint64_t pos, unsigned size, std::uint32_t& out) {
    if (report.empty() || size == 0 || size > 32) return false;
    const std::uint64_t available = static_cast<std::uint64_t>(report.size() - 1) * 8;
    if (pos + size > available) return false;
    std::uint64_t v = 0;
    for (unsigned b = 0; b < size; ++b) {
        const std::uint64_t bit = pos + b;
        if (report[1 + bit / 8] >> (bit % 8) & 1) v |= std::uint64_t{1} << b;
    }
    out = static_cast<std::uint32_t>(v);
    return true;
}

std::int64_t signExtend(std::uint32_t raw, unsigned size) {
    if (size >= 32) return static_cast<std::int32_t>(raw);
    const std::uint32_t sign = 1u << (size - 1);
    return static_cast<std::int64_t>(static_cast<std::int32_t>((raw ^ sign) - sign));
}

// The usage with the given index in a capability's usage list, or nullopt past its end.
std::optional<UsageRange> usageAt(const std::vector<UsageRange>& ranges, std::uint64_t index) {
    for (const UsageRange& r : ranges) {
        const std::uint64_t n = static_cast<std::uint64_t>(r.max) - r.min + 1;
        if (index < n) {
            auto u = static_cast<std::uint16_t>(r.min + index);
            return UsageRange{r.page, u, u};
        }
        index -= n;
    }
    return std::nullopt;
}

} // namespace

bool TopCollection::ownsReportId(std::uint8_t id) const {
    return std::binary_search(reportIds.begin(), reportIds.end(), id);
}

int ReportDescriptor::collectionOfReport(std::span<const std::uint8_t> report) const {
    if (report.empty() || collections.empty()) return -1;
    if (!usesReportIds) return 0;
    for (std::size_t i = 0; i < collections.size(); ++i)
        if (collections[i].ownsReportId(report[0])) return static_cast<int>(i);
    return -1;
}

std::optional<ReportDescriptor> parseReportDescriptor(std::span<const std::uint8_t> bytes, std::string* error) {
    Parser p;
    if (!p.run(bytes)) {
        if (error) *error = p.error;
        return std::nullopt;
    }
    return std::move(p.out);
}

std::size_t maxUsageListLength(const TopCollection& c, ReportType type, std::uint16_t usagePage) {
    std::size_t n = 0;
    for (const ButtonCaps& b : c.buttonCaps[static_cast<std::size_t>(type)])
        if (usagePage == 0 || b.usagePage == usagePage) n += b.reportCount;
    return n;
}

HidStatus getUsages(const TopCollection& c, ReportType type, std::uint16_t usagePage,
                    std::span<const std::uint8_t> report, std::vector<std::uint16_t>& usages) {
    usages.clear();
    if (report.empty()) return HidStatus::InvalidReportLength;
    bool pageSeen = false;
    bool idSeen = false;
    for (const ButtonCaps& b : c.buttonCaps[static_cast<std::size_t>(type)]) {
        bool hasPage = b.usagePage == usagePage;
        for (const UsageRange& r : b.usages) hasPage = hasPage || r.page == usagePage;
        if (!hasPage) continue;
        pageSeen = true;
        if (b.reportId != report[0]) continue;
        idSeen = true;
        if (b.isArray) {
            for (std::uint32_t slot = 0; slot < b.reportCount; ++slot) {
                std::uint32_t raw = 0;
                if (!extract(report, b.bitPosition + static_cast<std::uint64_t>(slot) * b.bitSize, b.bitSize, raw))
                    return HidStatus::InvalidReportLength;
                const std::int64_t v = b.logicalMin < 0 ? signExtend(raw, b.bitSize) : std::int64_t{raw};
                if (v < b.logicalMin || v > b.logicalMax) continue;
                auto u = usageAt(b.usages, static_cast<std::uint64_t>(v - b.logicalMin));
                if (u && u->page == usagePage && u->min != 0) usages.push_back(u->min);
            }
        } else {
            UsageCursor cursor(b.usages);
            for (std::uint32_t i = 0; i < b.reportCount; ++i) {
                UsageRange u = cursor.next();
                std::uint32_t bit = 0;
                if (!extract(report, b.bitPosition + i, 1, bit)) return HidStatus::InvalidReportLength;
                if (bit && u.page == usagePage && u.min != 0) usages.push_back(u.min);
            }
        }
    }
    if (!pageSeen) return HidStatus::UsageNotFound;
    if (!idSeen) return HidStatus::IncompatibleReportId;
    return HidStatus::Success;
}

namespace {

HidStatus findValue(const TopCollection& c, ReportType type, std::uint16_t usagePage, std::uint16_t usage,
                    std::span<const std::uint8_t> report, const ValueCaps*& found, std::uint32_t& raw) {
    if (report.empty()) return HidStatus::InvalidReportLength;
    bool seen = false;
    for (const ValueCaps& v : c.valueCaps[static_cast<std::size_t>(type)]) {
        if (v.usagePage != usagePage || usage < v.usageMin || usage > v.usageMax) continue;
        seen = true;
        if (v.reportId != report[0]) continue;
        const std::uint64_t pos = v.bitPosition + static_cast<std::uint64_t>(usage - v.usageMin) * v.bitSize;
        if (!extract(report, pos, v.bitSize, raw)) return HidStatus::InvalidReportLength;
        found = &v;
        return HidStatus::Success;
    }
    return seen ? HidStatus::IncompatibleReportId : HidStatus::UsageNotFound;
}

} // namespace

HidStatus getUsageValue(const TopCollection& c, ReportType type, std::uint16_t usagePage, std::uint16_t usage,
                        std::span<const std::uint8_t> report, std::uint32_t& value) {
    const ValueCaps* caps = nullptr;
    return findValue(c, type, usagePage, usage, report, caps, value);
}

HidStatus getScaledUsageValue(const TopCollection& c, ReportType type, std::uint16_t usagePage,
                              std::uint16_t usage, std::span<const std::uint8_t> report, std::int32_t& value) {
    const ValueCaps* v = nullptr;
    std::uint32_t raw = 0;
    if (HidStatus s = findValue(c, type, usagePage, usage, report, v, raw); s != HidStatus::Success) return s;
    const std::int64_t lmin = v->logicalMin, lmax = v->logicalMax;
    if (lmin >= lmax) return HidStatus::BadLogPhyValues;
    std::int64_t pmin = v->physicalMin, pmax = v->physicalMax;
    if (pmin == 0 && pmax == 0) {
        pmin = lmin;
        pmax = lmax;
    }
    if (pmin >= pmax) return HidStatus::BadLogPhyValues;
    const std::int64_t x = lmin < 0 ? signExtend(raw, v->bitSize) : std::int64_t{raw};
    if (x < lmin || x > lmax) return v->hasNull ? HidStatus::NullValue : HidStatus::ValueOutOfRange;
    const __int128 scaled = static_cast<__int128>(x - lmin) * (pmax - pmin) / (lmax - lmin) + pmin;
    value = clamp32(static_cast<std::int64_t>(scaled));
    return HidStatus::Success;
}

} // namespace kavrel::hid
