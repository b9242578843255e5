// How the command line ends: every outcome with the status batch files and
// deployment tools read (those documented before keep their numbers), the
// line "/?" gives it, and the row of the README's table and of the shipped
// README.txt, which say the same words.
#include "unattended/outcomes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "unattended/command_line.h"

namespace velnara::testing {
namespace {

std::string FileText(const char* path) {
  std::ifstream file(std::string(VELNARA_SOURCE_DIR) + "/" + path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(Outcomes, EachHasOneStatusAndTheUsageAndTheReadmesSayTheSame) {
  const struct {
    Outcome outcome;
    int status;
  } rows[] = {
      {Outcome::kDone, 0},
      {Outcome::kRestartNeeded, 3010},
      {Outcome::kRestartStarted, 1641},
      {Outcome::kBusy, 1618},
      {Outcome::kBadCommandLine, 87},
      {Outcome::kBadMap, 13},
      {Outcome::kNameRefused, 183},
      {Outcome::kWriteFailed, 1},
      {Outcome::kPortsUnreadable, 1012},
      {Outcome::kFileNotFound, 2},
      {Outcome::kFileFailed, 5},
      {Outcome::kInterruptedWalk, 1067},
      {Outcome::kJournalUnusable, 1392},
      {Outcome::kUnsupportedSystem, -1},
  };
  ASSERT_EQ(OutcomeTable().size(), std::size(rows)) << "an outcome without its row here";
  const std::string usage = UsageText();
  const std::string readme = FileText("README.md");
  std::string shipped = FileText("docs/user-readme.txt");
  std::set<int> statuses;
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const OutcomeRow& row = OutcomeTable()[i];
    SCOPED_TRACE(row.meaning);
    EXPECT_EQ(row.outcome, rows[i].outcome) << "in the order /? lists them";
    EXPECT_EQ(row.status, rows[i].status);
    EXPECT_EQ(StatusOf(row.outcome), rows[i].status);
    EXPECT_TRUE(statuses.insert(row.status).second) << "one outcome a status";
    // "/?" gives the status at the start of a line, then the words, the
    // lines that go on indented as far.
    std::string lead = "  " + std::to_string(row.status);
    lead.resize(8, ' ');
    std::size_t at = usage.find("\r\n" + lead);
    ASSERT_NE(at, std::string::npos) << usage;
    std::string said;
    for (at += 2; usage.compare(at, 8, said.empty() ? lead : std::string(8, ' ')) == 0;) {
      const std::size_t end = usage.find("\r\n", at);
      said += (said.empty() ? "" : " ") + usage.substr(at + 8, end - at - 8);
      at = end + 2;
    }
    EXPECT_EQ(said, row.meaning);
    EXPECT_NE(readme.find("| " + std::to_string(row.status) + " | " + row.meaning + " |"),
              std::string::npos)
        << "the README's row";
  }
  for (std::size_t end; (end = shipped.find('\r')) != std::string::npos;) shipped.erase(end, 1);
  std::string block = ExitStatusText();
  for (std::size_t end; (end = block.find('\r')) != std::string::npos;) block.erase(end, 1);
  EXPECT_NE(shipped.find(block), std::string::npos) << "README.txt shows the statuses as /? does";
}

}  // namespace
}  // namespace velnara::testing
