// Two workbench processes of one user at once: each Refresh filters with its own window's
// session rules, and one instance's end leaves the other's files where they are.
#include <map>
#include <string>
#include <vector>

#include "workbench_fixture.h"
#include "workbench_instance_driver.h"

namespace {

using namespace wbtest;

bool ShowsWuauhelper(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (line.rfind("node FILE:", 0) == 0 && line.find("wuauhelper.exe") != std::string::npos) {
      return true;
    }
  }
  return false;
}

TEST_F(WorkbenchTest, TwoInstancesKeepTheirRulesAndTheirFiles) {
  WriteSettings(QuietSettings());
  const std::string hiding = SettingsFolder() + "hiding.lv";
  const std::string showing = SettingsFolder() + "showing.lv";
  WriteWholeFile(hiding, "[evtweave_fileignores.session]\r\n*\\wuauhelper.exe = rw\r\n");
  WriteWholeFile(showing, "");
  Instance a(hiding), b(showing);
  ASSERT_GT(a.Pid(), 0);
  ASSERT_GT(b.Pid(), 0);
  ASSERT_EQ(a.Line(), "ready");
  ASSERT_EQ(b.Line(), "ready");
  for (Instance* i : {&a, &b}) i->Send(std::string("log ") + LUMIVEX_SAMPLE_LOG);

  // A has written its ignore lists and is about to start its converter when B refreshes.
  a.Send("hold");
  a.Send("refresh");
  ASSERT_EQ(a.Line(), "held");
  b.Send("refresh");
  std::vector<std::string> shownByB = b.Until("status ");
  EXPECT_EQ(shownByB.back(), "status OK");
  EXPECT_TRUE(ShowsWuauhelper(shownByB));
  a.Send("go");
  std::vector<std::string> shownByA = a.Until("status ");
  EXPECT_EQ(shownByA.back(), "status OK");
  EXPECT_FALSE(ShowsWuauhelper(shownByA)) << "A's graph was filtered by B's rules";

  // A ends while B still shows its graph.
  b.Send("dot");
  std::string dot = b.Line();
  ASSERT_EQ(dot.rfind("dot /", 0), 0u) << dot;
  dot.erase(0, 4);
  const std::string folder = dot.substr(0, dot.rfind('/') + 1);
  auto own = [&](const Instance& i) {
    return folder + "ZEMTEMP." + std::to_string(i.Pid()) + ".evtweave";
  };
  const std::string ownOfA = own(a), ownOfB = own(b);
  EXPECT_TRUE(FileExists(ownOfA));
  a.Send("end");
  EXPECT_EQ(a.Wait(), 0);
  EXPECT_FALSE(FileExists(ownOfA));
  EXPECT_TRUE(FileExists(ownOfB));
  EXPECT_TRUE(FileExists(dot));
  EXPECT_TRUE(FileExists(dot + ".lumivex"));
  b.Send("refresh");
  EXPECT_EQ(b.Until("status ").back(), "status OK");

  // The last one takes the folder with it.
  b.Send("end");
  EXPECT_EQ(b.Wait(), 0);
  EXPECT_FALSE(FileExists(folder));
}

}  // namespace

namespace {

using namespace wbtest;

// Each workbench's Ok writes the options changed in its own dialog into the file as it is
// then: an option another workbench changed meanwhile stays changed.
TEST_F(WorkbenchTest, TwoInstancesKeepEachOthersOptions) {
  WriteSettings(QuietSettings());
  const std::string session = SettingsFolder() + "default.lv";
  Instance a(session), b(session);
  ASSERT_EQ(a.Line(), "ready");
  ASSERT_EQ(b.Line(), "ready");
  a.Send("options #Checkbox_Options_SmartHighlight");
  ASSERT_EQ(a.Line(), "options stored");
  EXPECT_EQ(SettingsKeys()["smart_highlight"], "1");
  b.Send("options #Checkbox_Options_Hovereffects");
  ASSERT_EQ(b.Line(), "options stored");
  std::map<std::string, std::string> keys = SettingsKeys();
  EXPECT_EQ(keys["hovereffects"], "0");
  EXPECT_EQ(keys["smart_highlight"], "1") << "B wrote back the value it read at its start";
  EXPECT_EQ(keys["dotexecutable"], "/usr/bin/dot");
  for (Instance* i : {&a, &b}) {
    i->Send("end");
    EXPECT_EQ(i->Wait(), 0);
  }
  EXPECT_EQ(SettingsKeys()["smart_highlight"], "1");
  EXPECT_EQ(SettingsKeys()["hovereffects"], "0");
}

}  // namespace
