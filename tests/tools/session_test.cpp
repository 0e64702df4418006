// The `lqm-host session` protocol, run in-process through HandleSessionLine
// with the built plugin loaded: every request kind, typed values in and out,
// the null result, and bad lines that must each give {"error": ...} while
// the session goes on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lqm-host/lib/loose_json.h"
#include "lqm-host/lib/session.h"

namespace {

using lqm::host::HandleSessionLine;
using lqm::host::Session;
using lqm::host::Value;

class SessionProtocol : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(session_.host.LoadPlugin(lqm::host::DefaultPluginPath(), error)) << error;
  }
  void TearDown() override { session_.host.Select(lqm::abi::kSelectorDeinit); }
  std::string Ask(const std::string& line) { return HandleSessionLine(session_, line); }

  Session session_;
};

TEST_F(SessionProtocol, RequestsAndTheirAnswers) {
  struct Case {
    const char* request;
    const char* answer;
  } cases[] = {
      {R"({"select": -1})", R"({"version":5120})"},
      {R"({"select": -200})", R"({"version":5120})"},
      {R"({"select": -3})", R"({})"},
      {R"({"stats": true})",
       R"({"callbacks":0,"commands_run":{},"live":{"variables":0,"texts":0,"handles":0}})"},
      {R"({"set": "<>vxPrintRootDirectoryPath", "value": {"text": "C:\\Print\\"}})", "{}"},
      {R"({"set": "vCount", "value": {"variable": {"longint_array": [0, 1, 2]}}})", "{}"},
      {R"({"unset": "vNeverSet"})", "{}"},
      {R"({"host": {"platform": "macos", "platform_properties": false, "application_type": 4,
           "compiled": true, "app_folder": "/tmp", "command_ids": {"Test path name": -1},
           "failing_commands": ["GET RESOURCE"]}})",
       "{}"},
      {R"({"host": {}})", "{}"},
      // Routine 20 has no row: the plugin runs nothing, so the arguments come
      // back as they went and no result is set.
      {R"({"call": 20, "args": [{"longint": -5}, {"integer": 65535}, {"real": 2.5},
           {"text": "h\u00e9\ud83d\ude00\n"}, {"blob": "AAEC/w=="}, {"time": 3600},
           {"boolean": true}, {"undefined": null}, {"longint_array": [7, 8]},
           {"integer_array": [0]}, {"real_array": [0.5, -1]}, {"text_array": ["", "a", "b"]},
           {"variable": {"text": "in a variable"}}]})",
       R"({"result":null,"args":[{"longint":-5},{"integer":-1},{"real":2.5},)"
       R"({"text":"hé😀\n"},{"blob":"AAEC/w=="},{"time":3600},{"boolean":true},)"
       R"({"undefined":null},{"longint_array":[7,8]},{"integer_array":[0]},)"
       R"({"real_array":[0.5,-1.0]},{"text_array":["","a","b"]},)"
       R"({"variable":{"text":"in a variable"}}]})"},
      {R"({"call": "lqm_computecrc", "args": [{"blob": "MTIzNDU2Nzg5"}, {"integer": 2}, {"integer": 1}]})",
       R"({"result":{"longint":-873187034},"args":[{"blob":"MTIzNDU2Nzg5"},{"integer":2},{"integer":1}]})"},
      // Omitted parameters are passed as empty values and shown after the call.
      {R"({"call": 46})", R"({"result":{"longint":0},"args":[{"blob":""},{"integer":0},{"integer":0}]})"},
  };
  for (const Case& c : cases) EXPECT_EQ(Ask(c.request), c.answer) << c.request;
  EXPECT_EQ(session_.host.GetVariable("<>vxPrintRootDirectoryPath"), Value::TextUtf8("C:\\Print\\"));
  EXPECT_EQ(session_.host.GetVariable("vCount"), Value::LongintArray({0, 1, 2}));
  EXPECT_EQ(session_.host.GetSettings().applicationType, 4);
  EXPECT_EQ(session_.host.GetSettings().commandIds.at("test path name"), -1);
  EXPECT_EQ(Ask(R"({"unset": "vCount"})"), "{}");
  EXPECT_FALSE(session_.host.GetVariable("vCount").has_value());
}

TEST_F(SessionProtocol, BadLinesAreAnsweredAndTheSessionGoesOn) {
  const char* lines[] = {
      "",
      "not json",
      "{\"select\": -1",
      "[1, 2]",
      "{}",
      R"({"frobnicate": 1})",
      R"({"select": "x"})",
      R"({"select": 4294967296})",
      R"({"select": -1, "extra": 1})",
      R"({"call": "NoSuchCommand"})",
      R"({"call": 1.5})",
      R"({"call": 46, "args": {"blob": ""}})",
      R"({"call": 46, "args": [{"longint": "5"}]})",
      R"({"call": 46, "args": [{"blob": "A"}]})",
      R"({"call": 46, "args": [{"blob": "", "text": ""}]})",
      R"({"call": 46, "args": [{"text": "wrong kind for a BLOB"}]})",
      R"({"call": 46, "args": [{"blob": ""}, {"integer": 1}, {"integer": 1}, {"integer": 1}]})",
      R"({"call": 20, "args": [{"integer": 65536}]})",
      R"({"call": 20, "args": [{"longint": 2147483648}]})",
      R"({"call": 20, "args": [{"longint_array": []}]})",
      R"({"call": 20, "args": [{"text_array": ["a", 1]}]})",
      R"({"call": 20, "args": [{"variable": {"variable": {"longint": 1}}}]})",
      R"({"call": 20, "args": [{"undefined": 0}]})",
      R"({"call": 20, "args": [{"mystery": 0}]})",
      R"({"host": {"platform": "beos"}})",
      R"({"host": {"colour": "blue"}})",
      R"({"host": {"compiled": "yes"}})",
      R"({"host": {"command_ids": {"Is macOS": "1572"}}})",
      R"({"host": []})",
      R"({"set": "", "value": {"longint": 1}})",
      R"({"set": "<>", "value": {"longint": 1}})",
      R"({"set": "v"})",
      R"({"set": "v", "value": 5})",
      R"({"unset": 5})",
      R"({"stats": false})",
      R"({"select": 1E999})",  // well-formed, but no double holds it
  };
  for (const char* line : lines) {
    std::string answer = Ask(line);
    EXPECT_EQ(answer.rfind("{\"error\":\"", 0), 0u) << line << " -> " << answer;
  }
  // A refused "host" request changes nothing, even the keys before the bad one.
  EXPECT_EQ(Ask(R"({"host": {"application_type": 5, "platform": "beos"}})").rfind("{\"error\"", 0), 0u);
  EXPECT_EQ(session_.host.GetSettings().applicationType, 0);
  EXPECT_EQ(Ask(R"({"select": -1})"), R"({"version":5120})");
  EXPECT_EQ(session_.host.GetLiveCounts(), lqm::host::LiveCounts{});
}

TEST(SessionValues, JsonFormsRoundTrip) {
  const char* forms[] = {
      R"({"longint":-2147483648})",
      R"({"integer":-32768})",
      R"({"real":1e-300})",
      R"({"text":""})",
      R"({"text":"tab\tquote\"backslash\\"})",
      R"({"blob":""})",
      R"({"time":0})",
      R"({"boolean":false})",
      R"({"undefined":null})",
      R"({"longint_array":[0]})",
      R"({"text_array":["\u0001"]})",
      R"({"variable":{"real_array":[1.5,2.0]}})",
  };
  for (const char* form : forms) {
    Value value;
    std::string error;
    ASSERT_TRUE(lqm::host::ValueFromJson(nlohmann::json::parse(form), value, error)) << form << error;
    EXPECT_EQ(lqm::host::WriteJson(lqm::host::ValueToJson(value)), form);
  }
}

TEST(SessionValues, TextsThatAreNotUnicodeComeOutEscaped) {
  struct Case {
    std::u16string text;
    const char* json;
  } cases[] = {
      {std::u16string(1, char16_t(0xD800)) + u"x", R"({"text":"\ud800x"})"},
      {u"x" + std::u16string(1, char16_t(0xDFFF)), R"({"text":"x\udfff"})"},
      {u"\U0001F600", "{\"text\":\"\xF0\x9F\x98\x80\"}"},
      {std::u16string(u"\u007f") + char16_t(0), "{\"text\":\"\x7F\\u0000\"}"},
      {std::u16string{char16_t(0xDC00), char16_t(0xD800)}, R"({"text":"\udc00\ud800"})"},
      {std::u16string{char16_t(0xD800), char16_t(0xD800)}, R"({"text":"\ud800\ud800"})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lqm::host::WriteJson(lqm::host::ValueToJson(Value::Text(c.text))), c.json);
    // ...and a request that writes the text so names that very text.
    nlohmann::json form;
    Value back;
    std::string error;
    ASSERT_TRUE(lqm::host::ParseJsonKeepingLoneSurrogates(c.json, form)) << c.json;
    ASSERT_TRUE(lqm::host::ValueFromJson(form, back, error)) << error;
    EXPECT_EQ(back.text, c.text) << c.json;
  }
  for (const char* bad : {R"({"text":"\ud800)", R"({"text":"\ud80"})", R"({"text":"\ud800\u12"})",
                          "{\"text\":\"\\ud800\x01\"}", R"({"text":"\ud800"]})"}) {
    nlohmann::json form;
    EXPECT_FALSE(lqm::host::ParseJsonKeepingLoneSurrogates(bad, form)) << bad;
  }
}

}  // namespace
