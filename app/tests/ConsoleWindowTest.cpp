// What the console front end prints, and where.
#include "app/console/ConsoleWindow.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

TEST(ConsoleWindow, LogLinesGoToStandardOutputAndTheRestToStandardError)
{
    std::ostringstream out, err;
    ConsoleWindow window{out, err};
    window.addLine("Program Version V1.1.1e");
    window.setStatus("Recover success");
    EXPECT_EQ(window.messageBox("Read Imbed File Error !!", "Initial Error", fw::BoxButtons::Ok),
              fw::kAnswerOk);
    EXPECT_EQ(window.messageBox("two\nlines", std::nullopt, fw::BoxButtons::YesNoCancel), fw::kAnswerYes);
    EXPECT_EQ(window.dialog(fw::DialogType::Warning, "Incorrect upgrade file. Please check again!",
                            fw::DialogButtons::Yes),
              fw::kAnswerYes);
    EXPECT_EQ(out.str(), "Program Version V1.1.1e\n");
    EXPECT_EQ(err.str(), "[status] Recover success\n"
                         "[box] Initial Error: Read Imbed File Error !!\n"
                         "[box] two\\nlines\n"
                         "[box] Incorrect upgrade file. Please check again!\n");
}

} // namespace
