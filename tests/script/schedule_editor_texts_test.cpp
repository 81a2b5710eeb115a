// The parameter texts the schedule editor writes, as the interpreter reads them.
#include <gtest/gtest.h>

#include "schedule/schedule_editing.h"
#include "schedule/script/script_tokens.h"

namespace korvane {
namespace {

// The texts the dialogs write are read back by the interpreter's tokenizer
// as the same parameters.
TEST(ScheduleEditorTexts, ParameterTextsSplitBackIntoWhatWasChosen) {
    struct Case {
        std::string text;
        std::vector<std::string> parameters;  // as the interpreter unquotes them
    };
    const Case cases[] = {
        {FileCommandParameters("@Sales", "/backup/sales dept", "/SUBFOLDER/OVERWRITE"),
         {"@Sales", "/backup/sales dept", "/SUBFOLDER/OVERWRITE"}},
        {FileCommandParameters("/srv/a, b.txt", "/dst", " /OVERWRITE"),
         {"/srv/a, b.txt", "/dst", "/OVERWRITE"}},
        {FileCommandParameters("@Sales", "/dst", ""), {"@Sales", "/dst"}},
        {QuotedParameter("@Big Files"), {"@Big Files"}},
        {TwoQuotedParameters("Big Files", "My Computer (Scanned Volumes)"),
         {"Big Files", "My Computer (Scanned Volumes)"}},
        {PrintParameters("@Sales", "PDF", "", "FILE:/tmp/out.pdf"),
         {"@Sales", "PDF", "", "FILE:/tmp/out.pdf"}},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> tokens = SplitScriptLine("Copy " + c.text);
        ASSERT_EQ(tokens.size(), c.parameters.size() + 1) << c.text;
        for (std::size_t i = 0; i < c.parameters.size(); ++i)
            EXPECT_EQ(UnquoteParameter(tokens[i + 1]), c.parameters[i]) << c.text;
        EXPECT_EQ(RowParameterTokens(c.text), c.parameters) << c.text;
    }
    EXPECT_EQ(FileCommandParameters("@Sales", "/dst", " /SUBFOLDER"), "\"@Sales\", \"/dst\",  /SUBFOLDER");
}

}  // namespace
}  // namespace korvane
