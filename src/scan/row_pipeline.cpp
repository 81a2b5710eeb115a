#include "scan/row_pipeline.h"

#include <exception>

namespace korvane {
namespace {

// Set in the pushed count when the walk is over: changing the value the
// writer waits on is what wakes it.
constexpr std::uint64_t kClosing = std::uint64_t{1} << 63;
// Rows are handed over and slots given back in batches of this many, so
// neither side wakes the other for every row.
constexpr std::uint64_t kBatch = 128;

}  // namespace

RowPipeline::RowPipeline(Catalogue& catalogue, bool threaded) : catalogue_(catalogue) {
    if (!threaded) {
        return;
    }
    try {
        slots_ = std::make_unique<Slot[]>(kSlots);
        writer_ = std::thread([this] { WriterLoop(); });
    } catch (const std::exception&) {
        // No thread to be had: every row is saved directly instead.
        slots_.reset();
    }
}

RowPipeline::~RowPipeline() {
    Finish();
}

RowPipeline::Slot& RowPipeline::Claim() {
    if (!threaded()) {
        return direct_;
    }
    std::uint64_t tail = saved_.load(std::memory_order_acquire);
    while (filled_ - tail >= kSlots) {
        saved_.wait(tail, std::memory_order_acquire);
        tail = saved_.load(std::memory_order_acquire);
    }
    return slots_[filled_ & (kSlots - 1)];
}

void RowPipeline::Publish() {
    if (!threaded()) {
        if (!Save(direct_)) {
            ++refused_;
        }
        return;
    }
    if (++filled_ % kBatch == 0) {
        pushed_.store(filled_, std::memory_order_release);
        pushed_.notify_one();
    }
}

void RowPipeline::PushFile(const FolderScanRecord& record) {
    Slot& slot = Claim();
    slot.folder = false;
    slot.record.file_id = record.file_id;
    slot.record.parent_id = record.parent_id;
    slot.record.entry = record.entry;
    slot.record.owner = record.owner;
    slot.record.compressed_size = record.compressed_size;
    Publish();
}

void RowPipeline::PushFolder(const FolderScanRecord& record, char separator) {
    Slot& slot = Claim();
    slot.folder = true;
    slot.separator = separator;
    slot.record = record;
    Publish();
}

bool RowPipeline::Save(const Slot& slot) {
    try {
        if (slot.folder ? WriteFolderRow(catalogue_, slot.record, slot.separator, &dates_)
                        : WriteFileRow(catalogue_, slot.record, &dates_)) {
            return true;
        }
        if (first_error_.empty()) {
            first_error_ = catalogue_.LastRowError();
        }
    } catch (const std::exception& error) {
        // Out of memory: the row is lost and the build will say so.
        if (first_error_.empty()) {
            first_error_ = error.what();
        }
    }
    return false;
}

void RowPipeline::WriterLoop() {
    std::uint64_t tail = 0;
    for (;;) {
        const std::uint64_t seen = pushed_.load(std::memory_order_acquire);
        const std::uint64_t head = seen & ~kClosing;
        if (head == tail) {
            if ((seen & kClosing) != 0) {
                return;
            }
            pushed_.wait(seen, std::memory_order_acquire);
            continue;
        }
        while (tail != head) {
            if (!Save(slots_[tail & (kSlots - 1)])) {
                ++refused_;
            }
            ++tail;
            if (tail % kBatch == 0) {
                saved_.store(tail, std::memory_order_release);
                saved_.notify_one();
            }
        }
        saved_.store(tail, std::memory_order_release);
        saved_.notify_one();
    }
}

std::uint64_t RowPipeline::Finish() {
    if (writer_.joinable()) {
        pushed_.store(filled_ | kClosing, std::memory_order_release);
        pushed_.notify_one();
        writer_.join();
        slots_.reset();
    }
    return refused_;
}

}  // namespace korvane
