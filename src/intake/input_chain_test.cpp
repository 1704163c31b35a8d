#include "intake/input_chain.h"

#include <gtest/gtest.h>

#include "platform/fault_env.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::TempDir;
using testing::WriteFile;

std::string ReadAll(LogSource& source) {
  std::string all;
  char buffer[7];  // small reads cross every border between inputs
  for (;;) {
    size_t n = 0;
    Status s = source.Read(buffer, sizeof(buffer), &n);
    all.append(buffer, n);
    if (!s.ok()) return all + "<error>";
    if (n == 0) return all;
  }
}

struct Borders : InputObserver {
  std::string seen;
  void InputBegins(const InputRecord& r) override { seen.append("<").append(r.name); }
  void InputEnds(const InputRecord& r) override {
    seen.append(" ").append(std::to_string(r.bytesRead)).append(">");
  }
};

TEST(InputChain, InputsAreReadAsTheirConcatenation) {
  TempDir dir;
  FaultEnv env;
  const std::string a = "line a1\nline a2\n", b = "line b1\nno end", c = " after\n";
  const std::string bz = testing::GzipText(b);
  WriteFile(dir.File("a"), a);
  WriteFile(dir.File("b.gz"), bz);
  WriteFile(dir.File("c"), c);
  ByteInput input(std::string("from standard input\n"));
  std::unique_ptr<InputChain> chain;
  ASSERT_TRUE(
      OpenInputChain(env, {dir.File("a"), dir.File("b.gz"), "-", dir.File("c")}, input, &chain)
          .ok());
  Borders borders;
  chain->SetObserver(&borders);
  EXPECT_EQ(chain->totalBytes(), 0u);  // standard input has no size
  EXPECT_EQ(ReadAll(*chain), a + b + "from standard input\n" + c);
  std::string want;
  for (const auto& [name, size] : std::vector<std::pair<std::string, size_t>>{
           {dir.File("a"), 16}, {dir.File("b.gz"), bz.size()}, {"-", 20}, {dir.File("c"), 7}}) {
    want.append("<").append(name).append(" ").append(std::to_string(size)).append(">");
  }
  EXPECT_EQ(borders.seen, want);
  EXPECT_EQ(chain->bytesRead().load(), a.size() + bz.size() + 20 + c.size());
  for (const InputRecord& r : chain->inputs()) EXPECT_TRUE(r.finished) << r.name;

  std::unique_ptr<InputChain> files;
  ASSERT_TRUE(OpenInputChain(env, {dir.File("a"), dir.File("b.gz")}, input, &files).ok());
  EXPECT_EQ(files->totalBytes(), a.size() + bz.size());
}

TEST(InputChain, EveryInputIsOpenedBeforeAnyIsRead) {
  TempDir dir;
  FaultEnv env;
  WriteFile(dir.File("a"), "x\n");
  ByteInput input{std::string()};
  std::unique_ptr<InputChain> chain;
  std::string failed;
  Status s =
      OpenInputChain(env, {dir.File("a"), dir.File("gone"), dir.path()}, input, &chain, &failed);
  EXPECT_EQ(s.code(), StatusCode::kNotFound);
  EXPECT_EQ(failed, dir.File("gone"));
  EXPECT_EQ(chain, nullptr);
  s = OpenInputChain(env, {dir.File("a"), dir.path()}, input, &chain, &failed);
  EXPECT_EQ(s.sysError(), EISDIR);
  EXPECT_EQ(failed, dir.path());
}

TEST(InputChain, DamagedGzipEndsInAReadErrorOfThatInput) {
  TempDir dir;
  FaultEnv env;
  std::string gz = testing::GzipText(std::string(5000, 'x'));
  WriteFile(dir.File("cut.gz"), gz.substr(0, gz.size() / 2));
  WriteFile(dir.File("after"), "never\n");
  ByteInput input{std::string()};
  std::unique_ptr<InputChain> chain;
  ASSERT_TRUE(OpenInputChain(env, {dir.File("cut.gz"), dir.File("after")}, input, &chain).ok());
  EXPECT_TRUE(ReadAll(*chain).ends_with("<error>"));
  EXPECT_EQ(chain->current().name, dir.File("cut.gz"));
}

TEST(RotatedSet, OldestFirstWithGapsAndDates) {
  struct Case {
    std::vector<std::string> files;
    std::vector<std::string> want;
  };
  const std::vector<Case> cases = {
      {{"access.log", "access.log.1", "access.log.2.gz", "access.log.10.gz", "access.log.3.gz",
        "access.log.9.gz"},
       {"access.log.10.gz", "access.log.9.gz", "access.log.3.gz", "access.log.2.gz", "access.log.1",
        "access.log"}},
      // Gaps, no live log, and names that are no part of the set.
      {{"access.log.7.gz", "access.log.2", "access.log.old", "access.log.1.bz2", "access.logx.1",
        "access.log.", "other.log.1"},
       {"access.log.7.gz", "access.log.2"}},
      // dateext, by date; a plain file and its .gz of one number: the plain.
      {{"access.log", "access.log-20240110.gz", "access.log-20231231", "access.log-20240102.gz",
        "access.log-2024011", "access.log.4", "access.log.4.gz"},
       {"access.log.4", "access.log-20231231", "access.log-20240102.gz", "access.log-20240110.gz",
        "access.log"}},
      {{"access.log"}, {"access.log"}},
  };
  FaultEnv env;
  for (const Case& c : cases) {
    TempDir dir;
    for (const std::string& f : c.files) WriteFile(dir.File(f), "x\n");
    std::vector<std::string> got;
    ASSERT_TRUE(RotatedSet(env, dir.File("access.log"), &got).ok()) << c.files[0];
    std::vector<std::string> want;
    for (const std::string& f : c.want) want.push_back(dir.File(f));
    EXPECT_EQ(got, want) << c.files[0];
  }
  TempDir empty;
  WriteFile(empty.File("other.log"), "");
  std::vector<std::string> none;
  Status s = RotatedSet(env, empty.File("access.log"), &none);
  EXPECT_EQ(s.message(), "no file is access.log, access.log.N[.gz] or access.log-YYYYMMDD[.gz]");
  EXPECT_EQ(RotatedSet(env, empty.File("nodir/access.log"), &none).code(), StatusCode::kNotFound);
  FaultEnv unlisted;
  unlisted.FailOn(EnvCall::kList, empty.path(), EACCES);
  EXPECT_EQ(RotatedSet(unlisted, empty.File("other.log"), &none).sysError(), EACCES);

  std::string base;
  EXPECT_TRUE(IsRotatedSetName(env, empty.File("access.log*"), &base));
  EXPECT_EQ(base, empty.File("access.log"));
  EXPECT_FALSE(IsRotatedSetName(env, empty.File("access.log"), &base));
  WriteFile(empty.File("really*"), "");
  EXPECT_FALSE(IsRotatedSetName(env, empty.File("really*"), &base));  // a file of that name
}

}  // namespace
}  // namespace logvane
