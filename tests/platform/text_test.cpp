// Code page 949 text: conversion for the screen and cutting at character boundaries.
#include <gtest/gtest.h>

#include "common/text.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"

namespace kestrane {
namespace {

TEST(TextEncoding, KoreanRoundTripsThroughCodePage949) {
    EXPECT_EQ(utf8ToCp949("이름"), "\xC0\xCC\xB8\xA7");
    EXPECT_EQ(cp949ToUtf8("\xC0\xCC\xB8\xA7"), "이름");
    EXPECT_EQ(cp949ToUtf8("[abc] hi"), "[abc] hi");
}

TEST(TextEncoding, BytesThatDoNotConvertBecomeQuestionMarks) {
    EXPECT_EQ(cp949ToUtf8("a\xFF" "b"), "a?b");
    EXPECT_EQ(cp949ToUtf8("ab\xC0"), "ab?");  // a lead byte cut off at the end
    EXPECT_EQ(utf8ToCp949("a\xE2\x98\x83" "b"), "a?b");  // a snowman has no code page 949 form
}

TEST(Cp949Prefix, NeverEndsInsideATwoByteCharacter) {
    const std::string text = "ab\xC0\xCC\xB8\xA7";  // "ab" and two Hangul syllables
    EXPECT_EQ(cp949Prefix(text, 6), text);
    EXPECT_EQ(cp949Prefix(text, 5), "ab\xC0\xCC");
    EXPECT_EQ(cp949Prefix(text, 3), "ab");
    EXPECT_EQ(cp949Prefix(text, 0), "");
    EXPECT_EQ(cp949Prefix("\xC0", 5), "\xC0");  // a lone lead byte counts as one byte
}

TEST(MessageBox, CaptureCollectsInsteadOfShowingAndRestoresTheHandler) {
    {
        MessageBoxCapture capture;
        showMessageBox(kMessageCaption, "socket() Error");
        showMessageBox(kKeyboardFailureCaption, "SetDataFormat FAILED");
        ASSERT_EQ(capture.shown().size(), 2u);
        EXPECT_EQ(capture.shown()[0].first, "Orvane Works");
        EXPECT_EQ(capture.texts()[1], "SetDataFormat FAILED");
        {
            MessageBoxCapture inner;
            showMessageBox(kMessageCaption, "inner");
            EXPECT_EQ(inner.texts().size(), 1u);
        }
        showMessageBox(kMessageCaption, "after");
        EXPECT_EQ(capture.texts().back(), "after");
    }
}

}  // namespace
}  // namespace kestrane
