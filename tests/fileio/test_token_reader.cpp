#include "fileio/token_reader.hpp"

#include <gtest/gtest.h>

#include <string>

#include "core/exceptions.hpp"
#include "fileio_test_support.hpp"

namespace vindrel {
namespace {

using Status = TokenReader::TokenStatus;

std::string what_expected() { return "the test value"; }

TEST(TokenReader, SkipsBlanksTabsAndLineEndsBetweenNumbers) {
  TokenReader reader;
  reader.open_memory(" \t1.5\r\n\t-2 \n\n  3e2", "memory");
  EXPECT_EQ(reader.read_number(what_expected), 1.5);
  EXPECT_EQ(reader.read_number(what_expected), -2.0);
  EXPECT_EQ(reader.read_number(what_expected), 300.0);
  EXPECT_EQ(reader.line(), 4u);
  EXPECT_TRUE(reader.at_end_of_data());
}

TEST(TokenReader, ANumberAtTheEndOfTheInputIsZeroWithItsStatus) {
  TokenReader reader;
  reader.open_memory("5\r\n\r\n", "memory");
  EXPECT_EQ(reader.next_number().value, 5.0);
  const TokenReader::NumberToken token = reader.next_number();
  EXPECT_EQ(token.status, Status::kEndOfFile);
  EXPECT_EQ(token.value, 0.0);
}

TEST(TokenReader, ABadTokenNamesWhatWasExpectedAndItsLine) {
  TokenReader reader;
  reader.open_memory("1\r\n2\r\n  abc 4\r\n", "values.txt");
  reader.read_number(what_expected);
  reader.read_number(what_expected);
  try {
    reader.read_number(what_expected);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Invalid numeric input: expected the test value, found \"abc\"");
    EXPECT_EQ(error.file(), "values.txt");
    EXPECT_EQ(error.line(), 3u);
    EXPECT_STREQ(error.what(),
                 "values.txt:3: Invalid numeric input: expected the test value, found \"abc\"");
  }
}

TEST(TokenReader, TheEndOfTheInputWhereANumberIsNeededIsAnError) {
  TokenReader reader;
  reader.open_memory("1\r\n", "short.txt");
  reader.read_number(what_expected);
  try {
    reader.read_number(what_expected);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Unexpected end of file: expected the test value");
    EXPECT_EQ(error.line(), 2u);
  }
}

TEST(TokenReader, ReadsATokenOfSixtyFourCharacters) {
  const std::string token = "1." + std::string(59, '0') + "e+0";
  ASSERT_EQ(token.size(), 64u);
  const std::string text = token + " 2";
  TokenReader reader;
  reader.open_memory(text, "memory");
  EXPECT_EQ(reader.read_number(what_expected), 1.0);
  EXPECT_EQ(reader.read_number(what_expected), 2.0);
}

TEST(TokenReader, ALongerTokenIsRefusedWholeAndItsRestIsNotTheNextNumber) {
  const std::string token = std::string(70, '1');
  const std::string text = token + " 7";
  TokenReader reader;
  reader.open_memory(text, "memory");
  const TokenReader::NumberToken first = reader.next_number();
  EXPECT_EQ(first.status, Status::kTooLong);
  EXPECT_EQ(first.text, std::string(64, '1'));
  EXPECT_EQ(reader.next_number().value, 7.0);

  reader.open_memory(token, "long.txt");
  try {
    reader.read_number(what_expected);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(),
              "Invalid numeric input: expected the test value, found a token longer than 64 "
              "characters starting \"" +
                  std::string(64, '1') + "\"");
  }
}

TEST(TokenReader, TokensThatEndTheInputAreMeasuredLikeOthers) {
  const std::string exact = "1." + std::string(59, '0') + "e+0";   // 64 characters
  const std::string longer = "1." + std::string(60, '0') + "e+0";  // 65 characters
  TokenReader reader;
  reader.open_memory(exact, "memory");
  EXPECT_EQ(reader.next_number().value, 1.0);
  reader.open_memory(longer, "memory");
  EXPECT_EQ(reader.next_number().status, Status::kTooLong);
  EXPECT_TRUE(reader.at_end_of_data());
}

TEST(TokenReader, ALongTokenInAFileIsRefusedWhereverTheBufferEnds) {
  testing::TempFolder folder;
  const std::string path = folder.file("long.txt");
  // A 100-character token that starts 30 characters before the buffer's end.
  std::string text(TokenReader::kBufferSize - 31, ' ');
  text += std::string(100, '7') + " 5\r\n";
  testing::write_bytes(path, text);
  TokenReader reader;
  reader.open(path);
  const TokenReader::NumberToken token = reader.next_number();
  EXPECT_EQ(token.status, Status::kTooLong);
  EXPECT_EQ(token.text, std::string(64, '7'));
  EXPECT_EQ(reader.next_number().value, 5.0);
}

TEST(TokenReader, FieldsStopAtTheLineEnd) {
  TokenReader reader;
  reader.open_memory("abcdefgh\r\nxy\r\n", "memory");
  EXPECT_EQ(reader.read_field(5), "abcde");
  EXPECT_EQ(reader.read_field(5), "fgh");
  EXPECT_EQ(reader.read_field(5), "");
  reader.skip_line();
  EXPECT_EQ(reader.line(), 2u);
  EXPECT_EQ(reader.read_field(25), "xy");
}

TEST(TokenReader, ReadLineDropsTheLineEndAndKeepsTabs) {
  TokenReader reader;
  reader.open_memory("first line \t\r\nsecond\nlast", "memory");
  EXPECT_EQ(reader.read_line(), "first line \t");
  EXPECT_EQ(reader.read_line(), "second");
  EXPECT_EQ(reader.read_line(), "last");
  EXPECT_EQ(reader.read_line(), "");
  EXPECT_EQ(reader.line(), 3u);
}

TEST(TokenReader, ReadLineKeepsOnlyTheAskedLength) {
  TokenReader reader;
  reader.open_memory("0123456789\r\nnext\r\n", "memory");
  EXPECT_EQ(reader.read_line(4), "0123");
  EXPECT_EQ(reader.read_line(), "next");
}

TEST(TokenReader, TokensAcrossTheBufferBoundaryReadWhole) {
  testing::TempFolder folder;
  const std::string path = folder.file("many.txt");
  std::string text;
  double expected_sum = 0.0;
  for (int i = 0; text.size() < 3 * TokenReader::kBufferSize; ++i) {
    text += std::to_string(i) + ".25 ";
    expected_sum += i + 0.25;
    if (i % 7 == 6) text += "\r\n";
  }
  testing::write_bytes(path, text);
  TokenReader reader;
  reader.open(path);
  double sum = 0.0;
  for (;;) {
    const TokenReader::NumberToken token = reader.next_number();
    if (token.status == Status::kEndOfFile) break;
    ASSERT_EQ(token.status, Status::kNumber) << token.text;
    sum += token.value;
  }
  EXPECT_EQ(sum, expected_sum);
}

TEST(TokenReader, AMissingFileIsFileNotFound) {
  testing::TempFolder folder;
  TokenReader reader;
  try {
    reader.open(folder.file("absent.par"));
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "File not found");
    EXPECT_EQ(error.file(), folder.file("absent.par"));
  }
  EXPECT_FALSE(reader.is_open());
}

TEST(TokenReader, AFolderIsNotAFileToRead) {
  testing::TempFolder folder;
  TokenReader reader;
  try {
    reader.open(folder.file(""));
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "File access denied: the name is a folder, not a file");
  }
}

}  // namespace
}  // namespace vindrel
