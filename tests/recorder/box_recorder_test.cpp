// The in-process box recorder itself: what it reads from a message box.
#include <gtest/gtest.h>

#include "harness/box_recorder.h"

namespace {

TEST(BoxRecorder, ReadsCaptionTextButtonsAndStopIcon)
{
    BoxRecorder boxes;
    MessageBoxA(nullptr, "plain text", "Plain", MB_OK);
    MessageBoxA(nullptr, "stop text", "Stop", MB_OK | MB_ICONERROR);
    MessageBoxA(nullptr, "question", "Two buttons", MB_OKCANCEL);
    ASSERT_EQ(3u, boxes.boxes().size());
    EXPECT_EQ("Plain", boxes.boxes()[0].caption);
    EXPECT_EQ("plain text", boxes.boxes()[0].text);
    EXPECT_FALSE(boxes.boxes()[0].stopIcon);
    EXPECT_EQ(1, boxes.boxes()[0].buttons);
    EXPECT_TRUE(boxes.boxes()[1].stopIcon);
    EXPECT_EQ(2, boxes.boxes()[2].buttons);
}

TEST(BoxRecorder, AnswersByCaption)
{
    BoxRecorder boxes;
    boxes.answer("Choose", IDCANCEL);
    EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "pick", "Choose", MB_OKCANCEL));
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "pick", "Other", MB_OKCANCEL));
    EXPECT_EQ(1, boxes.count("Choose"));
}

} // namespace
