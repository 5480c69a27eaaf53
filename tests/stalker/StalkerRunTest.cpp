// Stalker runs over real folders and files, packed by the real zip engine and checked with
// Info-ZIP's unzip.
#include <QCoreApplication>
#include <QKeyEvent>

#include <functional>

#include "StalkerFixture.h"
#include "support/Trigger.h"
#include "zip/ZipEngines.h"

namespace {

// Bytes that deflate well, of a given length.
std::string Compressible(std::size_t n) {
    std::string s;
    while (s.size() < n) s += "level one, world two, score 000100; ";
    s.resize(n);
    return s;
}

bool Exists(const std::string& path) {
    return RunShell("test -e '" + path + "'") == 0;
}

}  // namespace

class StalkerRunTest : public StalkerTest {
protected:
    // What the engine callback does on each pump, beside what the dialog does.
    void OnPump(std::function<void()> f) { ui_.onProcessMessages = std::move(f); }
};

TEST_F(StalkerRunTest, EmptyDestinationPacksEachFileBesideItself) {
    tmp_.write("roms/mario.nes", Compressible(524288));
    tmp_.write("roms/game.eu.smc", Compressible(3000));
    tmp_.write("roms/a.b.c", Compressible(2000));
    tmp_.write("roms/README", Compressible(2000));
    tmp_.write("roms/skip.txt", "no");
    Prepare(tmp_.file("roms"), "", {"*.nes", "*.smc", "a.*", "README"});
    Trigger(dlg_, "BtnGo");

    EXPECT_TRUE(ui_.boxes.empty()) << (ui_.boxes.empty() ? "" : ui_.boxes[0].text);
    const std::vector<std::pair<std::string, std::string>> packed{{"mario.zip", "mario.nes"},
                                                                  {"game.eu.zip", "game.eu.smc"},
                                                                  {"a.b.zip", "a.b.c"},
                                                                  {"README.zip", "README"}};
    for (const auto& [zip, member] : packed) {
        const std::string archive = tmp_.file("roms/" + zip);
        EXPECT_TRUE(Intact(archive)) << zip;
        EXPECT_EQ(Members(archive), member + "\n") << zip;  // one member, without its folder
        EXPECT_EQ(Method(archive), "Defl:X") << zip;
    }
    EXPECT_FALSE(Exists(tmp_.file("roms/skip.zip")));
    EXPECT_FALSE(Exists(tmp_.file("roms/zip")));
    EXPECT_EQ(Status(), "Done");
    EXPECT_EQ(dlg_.ProgressBar1->value(), 100);
    EXPECT_EQ(dlg_.ProgressBar2->value(), 100);
    ExpectIdle();
    EXPECT_EQ(RunShell("cd '" + tmp_.file("roms") + "' && unzip -p mario.zip | cmp -s - mario.nes"), 0);
}

TEST_F(StalkerRunTest, GivenDestinationLevelZeroStoresAndADuplicateStaysOneMember) {
    tmp_.write("src/mario.nes", Compressible(20000));
    tmp_.write("dest/.keep", "");
    // The file matches both filters: it is handed over twice, onto the same archive.
    Prepare(tmp_.file("src/"), tmp_.file("dest"), {"*.nes", "mario.*"}, "0");
    Trigger(dlg_, "BtnGo");
    const std::string archive = tmp_.file("dest/mario.zip");
    EXPECT_TRUE(Intact(archive));
    EXPECT_EQ(Members(archive), "mario.nes\n");
    EXPECT_EQ(Method(archive), "Stored");
    EXPECT_FALSE(Exists(tmp_.file("src/mario.zip")));
    EXPECT_EQ(Status(), "Done");
}

TEST_F(StalkerRunTest, SecondRunAddsToTheExistingArchives) {
    tmp_.write("roms/zelda.nes", "link");
    tmp_.write("roms/extra.txt", "an older member");
    ASSERT_EQ(RunShell("cd '" + tmp_.file("roms") + "' && zip -q zelda.zip extra.txt"), 0);
    Prepare(tmp_.file("roms"), "", {"*.nes"});
    Trigger(dlg_, "BtnGo");
    tmp_.write("roms/zelda.nes", "link, changed");
    Trigger(dlg_, "BtnGo");
    const std::string archive = tmp_.file("roms/zelda.zip");
    EXPECT_TRUE(Intact(archive));
    EXPECT_EQ(Members(archive), "extra.txt\nzelda.nes\n");
    EXPECT_EQ(ShellOutput("unzip -p '" + archive + "' zelda.nes"), "link, changed");
    EXPECT_EQ(ShellOutput("unzip -p '" + archive + "' extra.txt"), "an older member");
    EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(StalkerRunTest, ArchivesOfAnEarlierRunAreNotPackedIntoThemselves) {
    tmp_.write("roms/a.nes", "a");
    tmp_.write("roms/b", "b");
    Prepare(tmp_.file("roms"), "", {"*.*"});
    Trigger(dlg_, "BtnGo");
    Trigger(dlg_, "BtnGo");  // now a.zip and b.zip match *.* too
    EXPECT_EQ(Members(tmp_.file("roms/a.zip")), "a.nes\n");
    EXPECT_EQ(Members(tmp_.file("roms/b.zip")), "b\n");
    EXPECT_TRUE(ui_.boxes.empty());
    EXPECT_EQ(Status(), "Done");
}

TEST_F(StalkerRunTest, NonArchiveInTheWayIsReportedLeftAloneAndTheRunGoesOn) {
    tmp_.write("roms/bad.nes", "rom");
    tmp_.write("roms/good.nes", "rom");
    const std::string notAZip = "this is not a zip archive, but someone's notes";
    tmp_.write("roms/bad.zip", notAZip);
    Prepare(tmp_.file("roms"), "", {"*.nes"});
    prompts_.Box(BoxOk);
    Trigger(dlg_, "BtnGo");
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].text,
              "1 of 2 files were not packed:\nbad.nes: Error - no zip file specified!");
    // The listing fails and empties the archive name, so the add is refused: two boxes, one file.
    const auto boxes = ZipBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "This archive is not a valid Zip archive\n" + tmp_.file("roms/bad.zip"));
    EXPECT_EQ(boxes[1], "Error - no zip file specified!");
    EXPECT_EQ(TempDir::read(tmp_.file("roms/bad.zip")), notAZip);
    EXPECT_TRUE(Intact(tmp_.file("roms/good.zip")));
    EXPECT_EQ(Status(), "Done");
}

TEST_F(StalkerRunTest, MissingSourceIsRefusedByNameAndNoMatchPacksNothingAndEndsDone) {
    Prepare(tmp_.file("no such folder"), "", {"*.*"});
    prompts_.Box(BoxOk);
    Trigger(dlg_, "BtnGo");
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].caption, "Error");
    EXPECT_EQ(prompts_.Shown()[0].text, "The source folder does not exist:\n" + tmp_.file("no such folder"));
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(dlg_.ProgressBar1->value(), 0);
    ExpectIdle();
    prompts_.ClearShown();
    tmp_.write("roms/a.txt", "x");
    Prepare(tmp_.file("roms"), "", {"*.nes", "*.[", "?"});
    Trigger(dlg_, "BtnGo");
    EXPECT_EQ(Status(), "Done");
    EXPECT_EQ(ShellOutput("ls '" + tmp_.file("roms") + "'"), "a.txt\n");
    EXPECT_TRUE(ui_.boxes.empty());
    EXPECT_TRUE(prompts_.Shown().empty());
    ExpectIdle();
}

TEST_F(StalkerRunTest, UnwritableDestinationIsReportedForEachFile) {
    tmp_.write("roms/a.nes", "a");
    tmp_.write("roms/b.nes", "b");
    tmp_.write("blocker", "a file where the destination's parent should be");
    Prepare(tmp_.file("roms"), tmp_.file("blocker/out"), {"*.nes"});
    prompts_.Box(BoxOk);
    Trigger(dlg_, "BtnGo");
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].text.rfind("2 of 2 files were not packed:\na.nes: ", 0), 0u)
        << prompts_.Shown()[0].text;
    EXPECT_GE(messages_.size(), 2u);  // the component's own words, at least once per file
    EXPECT_EQ(Status(), "Done");
    EXPECT_EQ(TempDir::read(tmp_.file("blocker")), "a file where the destination's parent should be");
    ExpectIdle();
}

TEST_F(StalkerRunTest, FileVanishingDuringTheRunIsReportedAndTheRestIsPacked) {
    // One worker, long at the first file when the dialog first looks up: b goes meanwhile.
    tmp_.write("roms/a.nes", Compressible(16 << 20));
    tmp_.write("roms/b.nes", "b");
    tmp_.write("roms/c.nes", "c");
    dlg_.WorkerCount = 1;
    OnPump([&] { std::remove(tmp_.file("roms/b.nes").c_str()); });
    Prepare(tmp_.file("roms"), "", {"*.nes"});
    prompts_.Box(BoxOk);
    Trigger(dlg_, "BtnGo");
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].text.rfind("1 of 3 files were not packed:\nb.nes: ", 0), 0u)
        << prompts_.Shown()[0].text;
    EXPECT_TRUE(Intact(tmp_.file("roms/a.zip")));
    EXPECT_TRUE(Intact(tmp_.file("roms/c.zip")));
    EXPECT_FALSE(Exists(tmp_.file("roms/b.zip")));
    EXPECT_FALSE(messages_.empty());
    EXPECT_EQ(Status(), "Done");
}

TEST_F(StalkerRunTest, StopAnsweredYesLetsTheFilesInProgressFinishWholeAndBeginsNoOther) {
    const int n = 6;
    for (int i = 0; i < n; ++i) tmp_.write("roms/g" + std::to_string(i) + ".nes", Compressible(4 << 20));
    dlg_.WorkerCount = 2;
    prompts_.Box(BoxYes);
    bool asked = false;
    OnPump([&] {
        // Once a file has begun: it is one of those that finish whole.
        if (asked || !dlg_.Running() || Status().rfind("Processing: ", 0) != 0) return;
        asked = true;
        EXPECT_FALSE(dlg_.BtnGo->isEnabled());
        EXPECT_EQ(dlg_.BtnStop->text().toStdString(), "&Stop");
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg_, &esc);
        EXPECT_TRUE(dlg_.StopRequested());
    });
    Prepare(tmp_.file("roms"), "", {"*.nes"});
    Trigger(dlg_, "BtnGo");
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].caption, "Question");
    EXPECT_EQ(prompts_.Shown()[0].text, "After doing this file you really\nwant to stop the session?");
    EXPECT_EQ(prompts_.Shown()[0].icon, BoxIcon::Question);
    EXPECT_EQ(prompts_.Shown()[0].buttons, BoxButtons::YesNo);
    // Every archive made holds its whole file; the files not begun got none.
    int packed = 0;
    for (int i = 0; i < n; ++i) {
        const std::string name = "g" + std::to_string(i);
        if (!Exists(tmp_.file("roms/" + name + ".zip"))) continue;
        ++packed;
        EXPECT_EQ(RunShell("cd '" + tmp_.file("roms") + "' && unzip -p " + name + ".zip | cmp -s - " + name +
                           ".nes"),
                  0)
            << name;
    }
    EXPECT_GE(packed, 1);
    EXPECT_LT(packed, n);
    EXPECT_EQ(Status(), "Aborted by user");
    EXPECT_FALSE(dlg_.StopRequested());
    EXPECT_EQ(dlg_.ProgressBar1->value(), packed * 100 / n);  // where the run stopped
    EXPECT_EQ(dlg_.ProgressBar2->value(), 100);
    ExpectIdle();
}

TEST_F(StalkerRunTest, CloseDuringARunAsksAndNoLetsItFinish) {
    for (const char* f : {"a.nes", "b.nes"}) tmp_.write(std::string("roms/") + f, Compressible(300000));
    prompts_.Box(BoxNo);
    bool asked = false;
    bool closed = true;
    OnPump([&] {
        if (asked || !dlg_.Running()) return;
        asked = true;
        closed = dlg_.FormClose();  // the title-bar close while packing
    });
    Prepare(tmp_.file("roms"), "", {"*.nes"});
    dlg_.show();
    Trigger(dlg_, "BtnGo");
    EXPECT_FALSE(closed);
    EXPECT_TRUE(dlg_.isVisible());
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].text, "After doing this file you really\nwant to stop the session?");
    EXPECT_TRUE(Intact(tmp_.file("roms/a.zip")));
    EXPECT_TRUE(Intact(tmp_.file("roms/b.zip")));
    EXPECT_EQ(Status(), "Done");
    dlg_.hide();
}

TEST_F(StalkerRunTest, BarsFollowTheFilesDoneAndTheFileBegunLast) {
    const int n = 3;
    for (int i = 0; i < n; ++i) tmp_.write("roms/g" + std::to_string(i) + ".nes", Compressible(524288));
    // Every value the overall bar takes, in order, whichever worker finished which file.
    std::vector<int> overall;
    QObject::connect(dlg_.ProgressBar1, &QProgressBar::valueChanged, [&](int v) { overall.push_back(v); });
    dlg_.ProgressBar1->setValue(50);  // as an earlier run may have left it
    overall.clear();
    std::vector<std::string> statuses;
    OnPump([&] {
        if (statuses.empty() || statuses.back() != Status()) statuses.push_back(Status());
    });
    Prepare(tmp_.file("roms"), "", {"*.nes"});
    Trigger(dlg_, "BtnGo");
    // 0 at the start; after the first archive still 0, after the last (n-1) x 100 / n; then 100.
    EXPECT_EQ(overall, (std::vector<int>{0, 100 / n, 2 * 100 / n, 100}));
    for (const std::string& status : statuses) {
        if (status == "Done" || status.empty()) continue;
        EXPECT_TRUE(status == "Processing: g0.nes (512 Kb)" || status == "Processing: g1.nes (512 Kb)" ||
                    status == "Processing: g2.nes (512 Kb)")
            << status;
    }
    EXPECT_EQ(dlg_.ProgressBar2->value(), 100);
    EXPECT_EQ(Status(), "Done");
}

// Archives made on several workers are those a one-at-a-time run makes, byte for byte: files
// that share an archive (by name, or listed twice by two masks) go into it in list order.
TEST_F(StalkerRunTest, ArchivesMadeInParallelAreThoseOfAOneAtATimeRun) {
    for (const char* f : {"a.nes", "b.nes", "c.smc", "game.eu.smc", "game.eu.nes", "h.nes", "i.nes", "j.smc"})
        tmp_.write(std::string("roms/") + f, Compressible(200000 + 1000 * (f[0] - 'a')));
    const auto run = [&](unsigned workers, const std::string& dest) {
        tmp_.write(dest + "/.made", "");
        dlg_.WorkerCount = workers;
        Prepare(tmp_.file("roms"), tmp_.file(dest), {"*.nes", "*.smc", "a.*"});
        Trigger(dlg_, "BtnGo");
        EXPECT_EQ(Status(), "Done");
    };
    run(1, "one");
    run(4, "four");
    int archives = 0;
    for (const char* zip : {"a.zip", "b.zip", "c.zip", "game.eu.zip", "h.zip", "i.zip", "j.zip"}) {
        const std::string one = TempDir::read(tmp_.file(std::string("one/") + zip));
        EXPECT_EQ(TempDir::read(tmp_.file(std::string("four/") + zip)), one) << zip;
        archives += Intact(tmp_.file(std::string("four/") + zip));
    }
    EXPECT_EQ(archives, 7);
    EXPECT_EQ(Members(tmp_.file("four/game.eu.zip")), "game.eu.nes\ngame.eu.smc\n");
    EXPECT_TRUE(prompts_.Shown().empty());
}

TEST_F(StalkerRunTest, MissingEngineIsReportedForEachFileAndTheRunGoesOn) {
    tmp_.write("roms/a.nes", "a");
    tmp_.write("roms/b.nes", "b");
    tmp_.write("engines/.keep", "");
    dlg_.Zip->SetDLLDirectory(tmp_.file("engines"));  // holds no engine; nor does the test's folder
    Prepare(tmp_.file("roms"), "", {"*.nes"});
    prompts_.Box(BoxOk);
    Trigger(dlg_, "BtnGo");
    EXPECT_EQ(ZipBoxes(),
              (std::vector<std::string>{"libzipengine.so not found!", "libzipengine.so not found!"}))
        << "needs a system without the engine in its library path";
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].text.rfind("2 of 2 files were not packed:", 0), 0u);
    EXPECT_EQ(Status(), "Done");
    ExpectIdle();
}

TEST_F(StalkerRunTest, ClosingReleasesTheEngineTheDialogHolds) {
    tmp_.write("roms/a.nes", "a");
    dlg_.Zip->Load_Zip_Dll();
    ASSERT_EQ(EngineReferences(EngineKind::Zip), 1);
    tmp_.write("roms/b.nes", Compressible(16 << 20));  // long enough to be seen packing
    dlg_.WorkerCount = 1;                              // one Add at a time: one reference of its own
    int duringRun = -1;
    OnPump([&] { duringRun = std::max(duringRun, EngineReferences(EngineKind::Zip)); });
    Prepare(tmp_.file("roms"), "", {"*.nes"});
    dlg_.show();
    Trigger(dlg_, "BtnGo");
    EXPECT_EQ(duringRun, 2) << "the dialog's reference and the running Add's own";
    EXPECT_EQ(EngineReferences(EngineKind::Zip), 1);
    EXPECT_TRUE(Intact(tmp_.file("roms/a.zip")));
    Trigger(dlg_, "BtnStop");
    EXPECT_FALSE(dlg_.isVisible());
    EXPECT_EQ(EngineReferences(EngineKind::Zip), 0);
    dlg_.show();
    EXPECT_TRUE(dlg_.close());  // the title-bar close goes the same way
    EXPECT_FALSE(dlg_.isVisible());
    EXPECT_TRUE(prompts_.Shown().empty());
}
