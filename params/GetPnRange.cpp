#include "params/GetPnRange.h"

#include <array>

#include "link/DriveCommands.h"
#include "params/ParamCatalog.h"

namespace qx {

namespace {

constexpr uint8_t kGatheredWords = 8;

int32_t SignExtended(uint16_t word) {
    return static_cast<int16_t>(word);
}

class Loader {
  public:
    Loader(DriveLink& link, UserParamTable& table, ParamLoadProgress& progress,
           const std::atomic<bool>& stop)
        : link_(link), table_(table), progress_(progress), stop_(stop) {}

    bool loadRanges() {
        int k = 0;
        const int last = table_.highestParamNumber;
        return runStage([&](Session& session) {
            uint32_t status = kStatusOk;
            while (k <= last && status == kStatusOk && !stopped()) {
                const uint32_t base = table_.rangeTableBase + 2 * static_cast<uint32_t>(k);
                const std::array<uint32_t, 4> cells = {base, base + 1, base + 2, base + 3};
                status = GatherWords(link_, session.next(), cells, kBudgetLongMs);
                if (status != kStatusOk) {
                    break;
                }
                // Each gathered cell takes two exchange words, its value in the second.
                status = ReadWords(link_, session.next(), drive_address::kExchangeArea,
                                   kGatheredWords, kBudgetLongMs);
                if (status != kStatusOk) {
                    break;
                }
                table_.minimum[k] = SignExtended(link_.replyWord(1));
                table_.maximum[k] = SignExtended(link_.replyWord(3));
                table_.minimum[k + 1] = SignExtended(link_.replyWord(5));
                table_.maximum[k + 1] = SignExtended(link_.replyWord(7));
                k += kRangesPerGather;
                markProgress(ParamLoadStage::Ranges, k * kRangeStageEndPercent / last);
            }
            return status;
        });
    }

    bool loadValues() {
        int i = 0;
        const int last = table_.highestParamNumber;
        return runStage([&](Session& session) {
            uint32_t status = kStatusOk;
            while (i < last && status == kStatusOk && !stopped()) {
                if (i == 0) {
                    // Pn 0 sits apart; two words are asked for, the first is Pn 0.
                    status =
                        ReadWords(link_, session.next(), ParamWordAddress(0), 2, kBudgetLongMs);
                    if (status != kStatusOk) {
                        break;
                    }
                    table_.value[0] = SignExtended(link_.replyWord(0));
                    i = 1;
                } else {
                    status = ReadWords(link_, session.next(), ParamWordAddress(i), kValuesPerRead,
                                       kBudgetLongMs);
                    if (status != kStatusOk) {
                        break;
                    }
                    // The last batch runs past the highest Pn; the table has room for it.
                    for (int j = 0; j < kValuesPerRead; ++j) {
                        table_.value[i + j] = SignExtended(link_.replyWord(j));
                    }
                    i += kValuesPerRead;
                }
                markProgress(ParamLoadStage::Values,
                             i * kValueStagePercent / last + kRangeStageEndPercent);
            }
            return status;
        });
    }

  private:
    bool stopped() const { return stop_.load(std::memory_order_relaxed); }

    void markProgress(ParamLoadStage stage, int percent) {
        lastSuccessTick_ = link_.clock().tickMs();
        progress_.post(stage, percent);
    }

    // Opens sessions and runs `transfer` in each until it succeeds, or an attempt has
    // failed more than the limit after the last successful step.
    template <typename Transfer>
    bool runStage(Transfer&& transfer) {
        Clock& clock = link_.clock();
        lastSuccessTick_ = clock.tickMs();
        uint32_t status = kStatusNoReply;
        while (clock.elapsedMs(lastSuccessTick_) < kParamLoadLimitMs && status != kStatusOk &&
               !stopped()) {
            Session session(link_);
            status = session.open(SyncMode::WithSync);
            if (status == kStatusOk) {
                status = transfer(session);
            }
        }
        return status == kStatusOk && !stopped();
    }

    DriveLink& link_;
    UserParamTable& table_;
    ParamLoadProgress& progress_;
    const std::atomic<bool>& stop_;
    uint32_t lastSuccessTick_ = 0;
};

}  // namespace

int GetPnRange(DriveLink& link, UserParamTable& table, ParamLoadProgress& progress,
               const std::atomic<bool>& stop) {
    Loader loader(link, table, progress, stop);
    if (loader.loadRanges() && loader.loadValues()) {
        progress.post(ParamLoadStage::Done, kLoadDonePercent);
        return 1;
    }
    progress.post(ParamLoadStage::Failed, 0);
    return 0;
}

}  // namespace qx
