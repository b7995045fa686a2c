// The PGN viewer's import of a large file, for scripts/bench-pgn-viewer: how
// long until the list is complete and usable, and the memory it took, for
// the index alone (the file read as the viewer reads it, without a window)
// and for the viewer in a stand-in application. Off in ordinary runs (the
// file is made by the script); run with
//   ROOKWELL_BENCH_PGN=<file> ROOKWELL_BENCH_GAMES=<count> <program> --gtest_also_run_disabled_tests

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

#include <wx/listbox.h>

#include "client/core/Prompt.h"
#include "client/dialogs/PgnGameList.h"
#include "client/dialogs/PgnViewerDialog.h"
#include "client/dialogs/tests/support/FakeBoard.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "foundation/BufferedInputFile.h"
#include "foundation/Win32File.h"

namespace {

long ResidentKilobytes()
{
    FILE* status = fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    long kb = 0;
    while (fgets(line, sizeof line, status))
        if (sscanf(line, "VmRSS: %ld", &kb) == 1)
            break;
    fclose(status);
    return kb;
}

} // namespace

TEST(PgnViewerBench, DISABLED_IndexAlone)
{
    const char* path = getenv("ROOKWELL_BENCH_PGN");
    const char* games = getenv("ROOKWELL_BENCH_GAMES");
    if (!path || !games)
        GTEST_SKIP() << "ROOKWELL_BENCH_PGN and ROOKWELL_BENCH_GAMES name the file and its game count";
    long before = ResidentKilobytes();
    auto start = std::chrono::steady_clock::now();
    Zorlin::CBufferedInputFile file(new Zorlin::CWin32File(path, 1), CPgnViewerDialog::kBlockSize,
                                    CPgnViewerDialog::kBlocks);
    file.SetOwnsInner(true);
    CPgnIndex index;
    int count = index.Build(file);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long after = ResidentKilobytes();
    EXPECT_EQ(count, atol(games)) << "every game listed";
    printf("bench-pgn-index: games %d seconds %.3f games_per_second %.0f rss_growth_kb %ld\n", count, seconds,
           count / seconds, after - before);
}

TEST(PgnViewerBench, DISABLED_ImportOfALargeFile)
{
    const char* path = getenv("ROOKWELL_BENCH_PGN");
    const char* games = getenv("ROOKWELL_BENCH_GAMES");
    if (!path || !games)
        GTEST_SKIP() << "ROOKWELL_BENCH_PGN and ROOKWELL_BENCH_GAMES name the file and its game count";
    GUI_TEST_START();
    CFakeApp app;
    CFakeBoard board(app);
    CScriptedPrompt prompt;
    prompt.Install();
    GuiTest::Pump();
    long before = ResidentKilobytes();
    auto start = std::chrono::steady_clock::now();
    CPgnViewerDialog* dialog = new CPgnViewerDialog(nullptr, new Zorlin::CWin32File(path, 1));
    GuiTest::Pump(); // the list drawn: complete and usable
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long after = ResidentKilobytes();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    unsigned count = GuiTest::Find<CPgnGameList>(dialog, 10130)->GetCount();
    EXPECT_EQ(count, unsigned(atol(games))) << "every game listed";
    printf("bench-pgn-viewer: games %u seconds %.3f games_per_second %.0f rss_growth_kb %ld max_rss_kb %ld\n", count,
           seconds, count / seconds, after - before, usage.ru_maxrss);
    dialog->Destroy();
    GuiTest::Pump();
}
