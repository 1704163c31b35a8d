#include "agents/bots_file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/agent_test_data.h"

namespace logvane {
namespace {

TEST(BotsFile, ReadsThePlainList) {
  std::vector<Crawler> out;
  ASSERT_TRUE(ParseBotsFile("# our own crawlers\n"
                            "\n"
                            "  NewsBot , search , News Bot, Example, Inc.\n"
                            "Code/, ai-agent\n"
                            "Kangaroo Bot, AI-TRAINING, Kangaroo\r\n",
                            "bots.txt", &out)
                  .ok());
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].token, "NewsBot");
  EXPECT_EQ(out[0].agentClass, AgentClass::kSearchCrawler);
  EXPECT_EQ(out[0].name, "News Bot");
  EXPECT_EQ(out[0].operatorName, "Example, Inc.");
  EXPECT_EQ(out[1].token, "Code");
  EXPECT_TRUE(out[1].versioned);
  EXPECT_EQ(out[1].Name(), "Code");
  EXPECT_EQ(out[2].token, "Kangaroo Bot");
  EXPECT_EQ(out[2].agentClass, AgentClass::kAiTraining);
}

TEST(BotsFile, ABadFileGivesWhereAndWhy) {
  struct Case {
    std::string text;
    const char* where;
    const char* reason;
  };
  const Case cases[] = {
      {"GoodBot, bot\nJustAToken\n", "line 2", "expected 'token, class"},
      {"GoodBot, bot\n\nX, robot\n", "line 3", "unknown class 'robot'"},
      {" , bot\n", "line 1", "empty token"},
      {std::string(101, 'x') + ", bot\n", "line 1", "longer than 100"},
      {"{\"A\": {\"function\": 5}}", "byte 19", "expected a text"},
      {"{\"A\": []}", "byte 6", "is not an object"},
      {"{\"A\": {\"has_name_and_version\": \"yes\"}}", "byte 31", "true or false"},
      {"{\"A\": {}, }", "byte 10", "expected a quoted key"},
      {"{\"\": {}}", "byte 5", "empty token"},
      {"  [1]", "line 1", "expected 'token, class"},  // not an object: a plain list
  };
  for (const Case& c : cases) {
    std::vector<Crawler> out;
    Status s = ParseBotsFile(c.text, "/x/bots", &out);
    EXPECT_FALSE(s.ok()) << c.text;
    EXPECT_EQ(s.path(), "/x/bots");
    EXPECT_EQ(s.where(), c.where) << c.text << " " << s.ToString();
    EXPECT_NE(s.message().find(c.reason), std::string::npos) << c.text << " " << s.ToString();
    EXPECT_TRUE(out.empty());
  }
}

TEST(BotsFile, MapsRobotsJsonFunctionsToClasses) {
  struct Case {
    const char* function;
    AgentClass agentClass;
  };
  const Case cases[] = {
      {"AI Assistants", AgentClass::kAiAssistant},
      {"AI Search Crawlers", AgentClass::kAiAssistant},
      {"Retrieves data to provide responses to user-initiated prompts.", AgentClass::kAiAssistant},
      {"Crawls sites to provide answers to user queries.", AgentClass::kAiAssistant},
      {"AI Agents", AgentClass::kAiAgent},
      {"AI Coding Agents", AgentClass::kAiAgent},
      {"AI search, assistants and agents", AgentClass::kAiAssistant},
      {"AI Data Scrapers", AgentClass::kAiTraining},
      {"LLM training.", AgentClass::kAiTraining},
      {"Unclear at this time.", AgentClass::kAiTraining},
      {"", AgentClass::kAiTraining},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassOfRobotsFunction(c.function), c.agentClass) << c.function;
  }
}

TEST(BotsFile, ReadsTheAiRobotsTxtList) {
  std::string path = agent_test::SharedFile("agents/ai-robots.json");
  std::string text;
  if (path.empty() || !agent_test::ReadWhole(path, &text)) {
    GTEST_SKIP() << "the shared ai-robots.json is not beside the checkout";
  }
  std::vector<Crawler> out;
  Status s = ParseBotsFile(text, path, &out);
  ASSERT_TRUE(s.ok()) << s.ToString();
  EXPECT_GE(out.size(), 150u);
  size_t perClass[kAgentClasses] = {};
  for (const Crawler& c : out) ++perClass[static_cast<size_t>(c.agentClass)];
  EXPECT_GT(perClass[static_cast<size_t>(AgentClass::kAiTraining)], 40u);
  EXPECT_GT(perClass[static_cast<size_t>(AgentClass::kAiAssistant)], 30u);
  EXPECT_GT(perClass[static_cast<size_t>(AgentClass::kAiAgent)], 10u);
  auto find = [&out](std::string_view token) -> const Crawler* {
    for (const Crawler& c : out) {
      if (c.token == token) return &c;
    }
    return nullptr;
  };
  const Crawler* gpt = find("GPTBot");
  ASSERT_NE(gpt, nullptr);
  EXPECT_EQ(gpt->agentClass, AgentClass::kAiTraining);
  EXPECT_EQ(gpt->operatorName, "OpenAI");  // the Markdown link's text
  const Crawler* user = find("ChatGPT-User");
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(user->agentClass, AgentClass::kAiAssistant);
  const Crawler* code = find("Code");
  ASSERT_NE(code, nullptr);
  EXPECT_TRUE(code->versioned);
  EXPECT_EQ(find("DuckAssistBot")->operatorName, "");  // "Unclear at this time."
}

}  // namespace
}  // namespace logvane
