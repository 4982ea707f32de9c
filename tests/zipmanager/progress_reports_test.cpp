// Reports of each kind turned into events, with the progress accounting behind them.
#include <gtest/gtest.h>

#include "zipmanager/zip_base.h"

namespace kv {
namespace {

const char* const kStages[] = {"NewFile",           "ProgressUpdate", "EndOfBatch", "TotalFiles2Process",
                               "TotalSize2Process", "NewExtra",       "ExtraUpdate"};

// A core base whose every event writes one line to Log.
class RecordingBase : public TZipBase {
public:
    RecordingBase() {
        OnTick = [this](TObject*) { Log.push_back("tick"); };
        OnProgress = [this](TObject*, ProgressType type, const std::string& name, std::int64_t size) {
            Log.push_back(std::string("progress ") + kStages[type] + " '" + name + "' " + std::to_string(size));
        };
        OnProgressDetails = [this](TObject*, const TProgressDetails& d) {
            Log.push_back(std::string("details ") + kStages[d.Stage] + " #" + std::to_string(d.FileNumber) + "/" +
                          std::to_string(d.FilesTotal) + " '" + d.FileName + "' " + std::to_string(d.FileDone) +
                          "/" + std::to_string(d.FileSize) + " bytes " + std::to_string(d.BytesDone) + "/" +
                          std::to_string(d.BytesTotal) + " written " + std::to_string(d.BytesWritten));
        };
        OnItemProgress = [this](TObject*, const std::string& item, std::uint32_t size, int percent) {
            Log.push_back("item '" + item + "' " + std::to_string(size) + " " + std::to_string(percent) + "%");
        };
        OnTotalProgress = [this](TObject*, std::int64_t total, int percent) {
            Log.push_back("total " + std::to_string(total) + " " + std::to_string(percent) + "%");
        };
        OnMessage = [this](TObject*, int code, const std::string& text) {
            Log.push_back("message " + std::to_string(code) + " '" + text + "'");
        };
    }
    void ReportOther(int kind, int arg, std::int64_t, const std::string&) override {
        Log.push_back("other " + std::to_string(kind) + " " + std::to_string(arg));
    }
    // The lines logged by one report.
    std::vector<std::string> Run(int kind, int arg, std::int64_t size, const std::string& text = {}) {
        Log.clear();
        Report(kind, arg, size, text);
        return Log;
    }

    std::vector<std::string> Log;
};

using Lines = std::vector<std::string>;

TEST(ProgressReports, TurnEachKindIntoItsEvents) {
    RecordingBase base;
    EXPECT_EQ(base.Run(rkByteTotal, 0, 1000),
              (Lines{"details TotalSize2Process #0/0 '' 0/0 bytes 0/1000 written 0", "progress TotalSize2Process '' 1000"}));
    EXPECT_EQ(base.Run(rkFileCount, 0, 2),
              (Lines{"details TotalFiles2Process #0/2 '' 0/0 bytes 0/1000 written 0",
                     "progress TotalFiles2Process '' 2"}));
    EXPECT_EQ(base.Run(rkNewItem, 5, 400, "a.txt"),
              (Lines{"progress NewFile 'a.txt' 400", "details NewFile #1/2 'a.txt' 0/400 bytes 0/1000 written 5",
                     "item 'a.txt' 400 0%"}));
    // The details go out before the counters move.
    EXPECT_EQ(base.Run(rkBytesDone, 7, 100),
              (Lines{"progress ProgressUpdate '' 100", "details NewFile #1/2 'a.txt' 0/400 bytes 0/1000 written 5",
                     "item 'a.txt' 100 25%", "total 1000 10%"}));
    EXPECT_EQ(base.Run(rkBytesDone, 0, 300),
              (Lines{"progress ProgressUpdate '' 300",
                     "details ProgressUpdate #1/2 'a.txt' 100/400 bytes 100/1000 written 12", "item 'a.txt' 400 100%",
                     "total 1000 40%"}));
    EXPECT_EQ(base.Run(rkNewStep, 5, 50, "fallback"),
              (Lines{"progress NewExtra 'fallback' 50", "details NewExtra #2/2 '*Finalising' 0/50 bytes 0/1000 written 12",
                     "item '*Finalising' 50 0%"}));
    EXPECT_EQ(base.Run(rkStepProgress, 0, 10),
              (Lines{"progress ExtraUpdate '*Finalising' 10",
                     "details ProgressUpdate #2/2 '*Finalising' 10/50 bytes 10/1000 written 12",
                     "item '*Finalising' 50 20%"}));
    // A step without a text of its own is named by the report.
    EXPECT_EQ(base.Run(rkNewStep, 99, 0, "*Own step"),
              (Lines{"progress NewExtra '*Own step' 0", "details NewExtra #3/2 '*Own step' 0/0 bytes 0/1000 written 12",
                     "item '*Own step' 0 0%"}));
    EXPECT_EQ(base.Run(rkEndOfBatch, 1, 0),
              (Lines{"progress EndOfBatch '' 0", "details EndOfBatch #3/2 '' 0/0 bytes 0/1000 written 13",
                     "item '' 0 101%", "total 0 101%"}));
    EXPECT_EQ(base.Run(rkTick, 0, 0), Lines{"tick"});
    EXPECT_EQ(base.Run(rkAfterRequest, 0, 0), Lines{});
    EXPECT_EQ(base.Run(7, 3, 0), Lines{"other 7 3"});
}

TEST(ProgressReports, MessageReportsSetTheCodeFromTheLowByte) {
    RecordingBase base;
    EXPECT_EQ(base.Run(rkMessage, 0, 0, "a trace line"), Lines{"message 0 'a trace line'"});
    EXPECT_EQ(base.ErrCode(), 0);
    EXPECT_EQ(base.Message(), "a trace line");

    EXPECT_EQ(base.Run(rkMessage, 0x0305, 0, "library error"), Lines{"message 773 'library error'"});
    EXPECT_EQ(base.ErrCode(), 5);
    EXPECT_EQ(base.FullErrCode(), 0x0305);

    // Code 9 after an event handler threw names what it threw.
    base.EventExceptionText = "handler failed";
    EXPECT_EQ(base.Run(rkMessage, 0x0109, 0, "aborted"), Lines{"message 265 'Exception in Event handler failed'"});
    EXPECT_EQ(base.ErrCode(), 9);
    EXPECT_EQ(base.Message(), "Exception in Event handler failed");
}

TEST(ProgressReports, LargeItemsAndTotalsKeepTheirPercentages) {
    struct Case {
        std::uint32_t size, done;
        int percent;
    };
    const Case items[] = {
        {0, 10, 0},      {10, 0, 0},         {3, 1, 33},         {214747, 214747, 100}, {214748, 107374, 50},
        {4000000000u, 3000000000u, 75},     {4294967295u, 4294967295u, 100},          {1000000, 999999, 99},
    };
    for (const Case& c : items) {
        TProgressDetails details;
        details.FileSize = c.size;
        details.FileDone = c.done;
        EXPECT_EQ(details.ItemPerCent(), c.percent) << c.size << " " << c.done;
    }
    TProgressDetails total;
    total.BytesTotal = 40'000'000'000;
    total.BytesDone = 30'000'000'000;
    EXPECT_EQ(total.TotalPerCent(), 75);
    total.BytesTotal = 0;
    EXPECT_EQ(total.TotalPerCent(), 0);
}

TEST(ProgressReports, TheAfterReportHookSeesAndSetsTheCancelFlag) {
    RecordingBase base;
    std::vector<bool> seen;
    bool answer = false;
    int pumps = 0;
    base.ProcessMessages = [&] { ++pumps; };
    base.OnAfterCallback = [&](TObject*, bool& abort) {
        seen.push_back(abort);
        abort = answer;
    };
    base.Report(rkAfterRequest, 0, 0, {});
    answer = true;
    base.Report(rkTick, 0, 0, {});
    answer = false;  // a later "no" does not undo the cancel
    base.Report(rkTick, 0, 0, {});
    EXPECT_EQ(seen, (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(base.Cancel());
    EXPECT_EQ(pumps, 0);

    base.OnAfterCallback = nullptr;
    base.Report(rkTick, 0, 0, {});
    EXPECT_EQ(pumps, 1);
}

TEST(ProgressReports, NothingIsReportedWhileBeingDestroyed) {
    RecordingBase base;
    bool after = false;
    base.OnAfterCallback = [&](TObject*, bool&) { after = true; };
    base.Destroying = true;
    for (const int kind : {0, 1, 2, 3, 4, 5, 6, 7, 15, 16, 18}) EXPECT_EQ(base.Run(kind, 1, 1, "x"), Lines{}) << kind;
    EXPECT_FALSE(after);
}

}  // namespace
}  // namespace kv
