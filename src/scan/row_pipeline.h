// Hands the rows of a walk to the catalogue writers. With a writer thread the
// rows are saved while the walk goes on (the walk is mostly waiting on the
// file system, the writing mostly on the processor); without one each row is
// saved the moment it is pushed. Either way rows are saved in the order they
// are pushed, and the walk holds at most a small fixed number of them, so
// memory does not grow with the size of a volume.
//
// While a pipeline with a writer thread runs, the catalogue belongs to that
// thread: nothing else may use it until Finish returns.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "catalogue/catalogue.h"
#include "catalogue/row_writers.h"
#include "catalogue/scan_records.h"

namespace korvane {

class RowPipeline {
  public:
    // threaded: save rows on a writer thread (falls back to saving them
    // directly when the thread cannot be started).
    RowPipeline(Catalogue& catalogue, bool threaded);
    ~RowPipeline();
    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;

    // A File row from the entry the record holds (WriteFileRow).
    void PushFile(const FolderScanRecord& record);
    // A Folder row for the folder the record describes (WriteFolderRow).
    void PushFolder(const FolderScanRecord& record, char separator);
    // Saves every row pushed so far and stops the writer thread; afterwards
    // rows are saved directly. Returns the number of rows the catalogue
    // refused since the pipeline started.
    std::uint64_t Finish();

    bool threaded() const { return writer_.joinable(); }
    // The engine's message for the first row refused; read after Finish.
    const std::string& first_error() const { return first_error_; }

  private:
    struct Slot {
        bool folder = false;
        char separator = '/';
        FolderScanRecord record;
    };
    static constexpr std::uint64_t kSlots = 1024;  // a power of two

    Slot& Claim();
    void Publish();
    bool Save(const Slot& slot);
    void WriterLoop();

    Catalogue& catalogue_;
    DayNumberCache dates_;  // used by whichever thread saves the rows
    std::unique_ptr<Slot[]> slots_;
    Slot direct_;
    std::uint64_t filled_ = 0;              // slots the walk has filled
    std::atomic<std::uint64_t> pushed_{0};  // slots handed to the writer
    std::atomic<std::uint64_t> saved_{0};   // slots the writer has given back
    std::uint64_t refused_ = 0;
    std::string first_error_;
    std::thread writer_;
};

}  // namespace korvane
