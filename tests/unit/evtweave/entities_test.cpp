#include <sys/resource.h>

#include "converter_fixture.h"

namespace evtweave::testing {
namespace {

using EntitiesTest = ConverterTest;

TEST_F(EntitiesTest, KeysTellOldProcessesFromCreatedOnesAndReusedIds) {
  std::string log =
      kHeader + Row({"t1", "sys", "4", "RegQueryValue", "", "SUCCESS", "", "8"}) +
      Row({"t2", "x", "812", "RegQueryValue", "", "SUCCESS", "", "9"}) +
      Row({"t3", "sys", "4", "Process Create", "C:\\a.exe", "SUCCESS",
           "PID: 812, Command line: a.exe -q", "8"}) +
      Row({"t4", "a.exe", "812", "Process Start", "", "SUCCESS", "", "20"}) +
      Row({"t5", "a.exe", "812", "Thread Create", "", "SUCCESS", "Thread ID: 20", "20"}) +
      Row({"t6", "a.exe", "812", "Thread Create", "", "SUCCESS", "Thread ID: 21", "20"});
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  CollectEntities();
  ASSERT_NE(Process("4-o1"), nullptr);
  ASSERT_NE(Process("812-o2"), nullptr);
  const ProcessInfo* created = Process("812-n1");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->CommandLine, "a.exe -q");
  EXPECT_EQ(created->ParentPID, FindProcessByKey("4-o1"));
  EXPECT_EQ(Rows()[1].PID, FindProcessByKey("812-o2"));
  EXPECT_EQ(Rows()[2].Detail, "PID: 812-n1, Command line: a.exe -q");
  EXPECT_EQ(Rows()[3].PID, FindProcessByKey("812-n1"));
  // Only the first thread after the start is the main thread.
  const auto& threads = State().entities.m_threadNodes;
  ASSERT_EQ(created->Threads.size(), 2u);
  EXPECT_TRUE(threads[created->Threads[0]].IsMain);
  EXPECT_EQ(threads[created->Threads[0]].ParentTID, kNoIndex);
  EXPECT_FALSE(threads[created->Threads[1]].IsMain);
  EXPECT_EQ(Rows()[5].Detail, "Thread ID: 21-n2");
}

TEST_F(EntitiesTest, ThreadsCreatedFromAnotherProcessAndExitsOfUnknownThreads) {
  std::string log = kHeader + Row({"t1", "a", "1", "RegQueryValue", "", "SUCCESS", "", "10"}) +
                    Row({"t2", "b", "2", "Thread Create", "", "SUCCESS", "Thread ID: 30", "10"}) +
                    Row({"t3", "b", "2", "Thread Exit", "", "SUCCESS", "Thread ID: 77, x", "30"}) +
                    Row({"t4", "c", "3", "Process Exit", "", "SUCCESS", "", "55"}) +
                    Row({"t5", "b", "2", "Process Exit", "", "SUCCESS", "", "10"});
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  CollectEntities();
  const EntityState& e = State().entities;
  const ProcessInfo* b = Process("2-o2");
  ASSERT_NE(b, nullptr);
  const ThreadInfo& injected = e.m_threadNodes[b->Threads[0]];
  EXPECT_EQ(injected.ParentPID, FindProcessByKey("1-o1"));
  EXPECT_EQ(e.m_threadKeys[injected.ParentTID], "10-o1");
  // The exit of a thread the log never named invents no thread and keeps its text.
  EXPECT_EQ(Rows()[2].Detail, "Thread ID: 77, x");
  for (int32_t node : b->Threads) EXPECT_NE(e.m_threadKeys[e.m_threadNodes[node].Key], "77");
  // An exit reported by a thread that no process holds names no stopper...
  EXPECT_EQ(Process("3-o3")->StoppedByPID, kNoIndex);
  // ...and one reported by a thread of another process names that process.
  EXPECT_EQ(b->StoppedByPID, FindProcessByKey("1-o1"));
}

TEST_F(EntitiesTest, FilesRegistryKeysAndNetworkRows) {
  std::string created = "Non-Directory File, OpenResult: Created";
  std::string log =
      kHeader + Row({"t1", "a", "1", "ReadFile", "C:\\Late.txt", "SUCCESS", "", "2"}) +
      Row({"t2", "a", "1", "WriteFile", "C:\\Late.txt", "SUCCESS", "", "2"}) +
      Row({"t3", "a", "1", "ReadFile", "C:\\LATE.txt", "SUCCESS", "", "2"}) +
      Row({"t4", "a", "1", "CreateFile", "C:\\new.dll", "SUCCESS", created, "2"}) +
      Row({"t5", "a", "1", "SetRenameInformationFile", "C:\\new.dll", "SUCCESS",
           "ReplaceIfExists: False, FileName: C:\\Renamed.dll", "2"}) +
      Row({"t6", "a", "1", "RegSetValue", "HKCU\\Run\\X", "SUCCESS", "", "2"}) +
      Row({"t7", "a", "1", "TCP Send", "host:49712 -> 10.0.0.5:http", "SUCCESS", "", "2"}) +
      Row({"t8", "a", "1", "TCP Send", "host:49713 -> example.org:http", "SUCCESS", "", "2"}) +
      Row({"t9", "a", "1", "WriteFile", "C:\\failed.txt", "ACCESS DENIED", "", "2"});
  ASSERT_EQ(Load(log), CsvReadResult::kOk);
  CollectEntities();
  EntityState& e = State().entities;
  const FileInfo& late = e.Files.m_items[e.Files.Find("c:\\late.txt")];
  EXPECT_EQ(late.FirstReadTime, "t3");  // the read before the write recorded nothing
  EXPECT_EQ(late.FirstWriteTime, "t2");
  EXPECT_TRUE(e.Files.m_items[e.Files.Find("c:\\new.dll")].RenamedFrom);
  EXPECT_TRUE(e.Files.m_items[e.Files.Find("c:\\renamed.dll")].RenamedTo);
  EXPECT_EQ(e.Files.Find("c:\\failed.txt"), kNoIndex);
  EXPECT_NE(e.RegistryKeys.Find("hkcu\\run\\x"), kNoIndex);
  ASSERT_EQ(e.Servers.size(), 1u);
  ASSERT_EQ(e.Connections.size(), 1u);
  EXPECT_EQ(e.Connections.m_items[0].LocalPort, "49712");
  EXPECT_EQ(e.Connections.m_items[0].RemotePort, "http");
  EXPECT_EQ(Text(Rows()[7].Operation), "TCP Send(IPV6)");
}

// A value that names a bare file finds it among every "/"-tail of the known paths. One path
// of 60,000 "a/" segments has as many tails; kept as copies they would take gigabytes.
TEST_F(EntitiesTest, BareNamesFindTheirFileWithoutCopyingEveryTail) {
  std::string path = "C:\\x\\";
  for (int i = 0; i < 60'000; ++i) path += "a/";
  path += "b.exe";
  std::string log =
      kHeader + Row({"t", "w.exe", "1", "WriteFile", path, "SUCCESS", "Offset: 0", "2"}) +
      Row({"t", "w.exe", "1", "WriteFile", "C:\\y\\a/b.exe", "SUCCESS", "Offset: 0", "2"}) +
      Row({"t", "w.exe", "1", "RegSetValue", "HKCU\\Run\\b", "SUCCESS",
           "Type: REG_SZ, Length: 10, Data: a/b.exe", "2"});
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  std::string dot = Convert(log, "lumivex,dumb");
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 300 * 1024) << "KiB";
  // The first file in the log that has the name as a tail (its id cut for Graphviz).
  int32_t file = State().entities.Files.Find(LowerCase(path));
  ASSERT_NE(file, kNoIndex);
  EXPECT_NE(dot.find("\"REGISTRYKEY:hkcu\\\\run\\\\b\" -> \"" +
                     NodeIdText({NodeType::kFile, file}) + "\""),
            std::string::npos);
}

}  // namespace
}  // namespace evtweave::testing
