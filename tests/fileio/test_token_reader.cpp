#include <gtest/gtest.h>

#include <string>

#include "core/exceptions.hpp"
#include "fileio/token_reader.hpp"
#include "fileio_test_support.hpp"

namespace vindrel {
namespace {

using Status = TokenReader::TokenStatus;

std::string what_expected() { return "the test value"; }

// The reader's tests on files and on the same bytes as a text in memory.
class TokenReading : public testing::ReaderTest {
 protected:
  // Opens `reader` on `text`, kept in a file called `name` in the test's folder.
  void open(TokenReader& reader, const std::string& text, const std::string& name = "memory") {
    const std::string path = folder.file(name);
    testing::write_bytes(path, text);
    reader.open(source(path));
  }

  testing::TempFolder folder;
};
VINDREL_READ_FROM_FILE_AND_TEXT(TokenReading);

TEST_P(TokenReading, SkipsBlanksTabsAndLineEndsBetweenNumbers) {
  TokenReader reader;
  open(reader, " \t1.5\r\n\t-2 \n\n  3e2");
  EXPECT_EQ(reader.read_number(what_expected), 1.5);
  EXPECT_EQ(reader.read_number(what_expected), -2.0);
  EXPECT_EQ(reader.read_number(what_expected), 300.0);
  EXPECT_EQ(reader.line(), 4u);
  EXPECT_TRUE(reader.at_end_of_data());
}

TEST_P(TokenReading, ANumberAtTheEndOfTheInputIsZeroWithItsStatus) {
  TokenReader reader;
  open(reader, "5\r\n\r\n");
  EXPECT_EQ(reader.next_number().value, 5.0);
  const TokenReader::NumberToken token = reader.next_number();
  EXPECT_EQ(token.status, Status::kEndOfFile);
  EXPECT_EQ(token.value, 0.0);
}

TEST_P(TokenReading, ABadTokenNamesWhatWasExpectedAndItsLine) {
  TokenReader reader;
  open(reader, "1\r\n2\r\n  abc 4\r\n", "values.txt");
  reader.read_number(what_expected);
  reader.read_number(what_expected);
  try {
    reader.read_number(what_expected);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Invalid numeric input: expected the test value, found \"abc\"");
    EXPECT_EQ(error.file(), folder.file("values.txt"));
    EXPECT_EQ(error.line(), 3u);
    EXPECT_EQ(std::string(error.what()),
              folder.file("values.txt") +
                  ":3: Invalid numeric input: expected the test value, found \"abc\"");
  }
}

TEST_P(TokenReading, TheEndOfTheInputWhereANumberIsNeededIsAnError) {
  TokenReader reader;
  open(reader, "1\r\n", "short.txt");
  reader.read_number(what_expected);
  try {
    reader.read_number(what_expected);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.message(), "Unexpected end of file: expected the test value");
    EXPECT_EQ(error.line(), 2u);
  }
}

TEST_P(TokenReading, ReadsATokenOfSixtyFourCharacters) {
  const std::string token = "1." + std::string(59, '0') + "e+0";
  ASSERT_EQ(token.size(), 64u);
  const std::string text = token + " 2";
  TokenReader reader;
  open(reader, text);
  EXPECT_EQ(reader.read_number(what_expected), 1.0);
  EXPECT_EQ(reader.read_number(what_expected), 2.0);
}

TEST_P(TokenReading, ALongerTokenIsRefusedWholeAndItsRestIsNotTheNextNumber) {
  const std::string token = std::string(70, '1');
  const std::string text = token + " 7";
  TokenReader reader;
  open(reader, text);
  const TokenReader::NumberToken first = reader.next_number();
  EXPECT_EQ(first.status, Status::kTooLong);
  EXPECT_EQ(first.text, std::string(64, '1'));
  EXPECT_EQ(reader.next_number().value, 7.0);

  open(reader, token, "long.txt");
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

TEST_P(TokenReading, TokensThatEndTheInputAreMeasuredLikeOthers) {
  const std::string exact = "1." + std::string(59, '0') + "e+0";   // 64 characters
  const std::string longer = "1." + std::string(60, '0') + "e+0";  // 65 characters
  TokenReader reader;
  open(reader, exact);
  EXPECT_EQ(reader.next_number().value, 1.0);
  open(reader, longer);
  EXPECT_EQ(reader.next_number().status, Status::kTooLong);
  EXPECT_TRUE(reader.at_end_of_data());
}

TEST_P(TokenReading, ALongTokenIsRefusedWhereverTheBufferEnds) {
  const std::string path = folder.file("long.txt");
  // A 100-character token that starts 30 characters before the buffer's end.
  std::string text(TokenReader::kBufferSize - 31, ' ');
  text += std::string(100, '7') + " 5\r\n";
  testing::write_bytes(path, text);
  TokenReader reader;
  reader.open(source(path));
  const TokenReader::NumberToken token = reader.next_number();
  EXPECT_EQ(token.status, Status::kTooLong);
  EXPECT_EQ(token.text, std::string(64, '7'));
  EXPECT_EQ(reader.next_number().value, 5.0);
}

TEST_P(TokenReading, FieldsStopAtTheLineEnd) {
  TokenReader reader;
  open(reader, "abcdefgh\r\nxy\r\n");
  EXPECT_EQ(reader.read_field(5), "abcde");
  EXPECT_EQ(reader.read_field(5), "fgh");
  EXPECT_EQ(reader.read_field(5), "");
  reader.skip_line();
  EXPECT_EQ(reader.line(), 2u);
  EXPECT_EQ(reader.read_field(25), "xy");
}

TEST_P(TokenReading, ReadLineDropsTheLineEndAndKeepsTabs) {
  TokenReader reader;
  open(reader, "first line \t\r\nsecond\nlast");
  EXPECT_EQ(reader.read_line(), "first line \t");
  EXPECT_EQ(reader.read_line(), "second");
  EXPECT_EQ(reader.read_line(), "last");
  EXPECT_EQ(reader.read_line(), "");
  EXPECT_EQ(reader.line(), 3u);
}

TEST_P(TokenReading, ReadLineKeepsOnlyTheAskedLength) {
  TokenReader reader;
  open(reader, "0123456789\r\nnext\r\n");
  EXPECT_EQ(reader.read_line(4), "0123");
  EXPECT_EQ(reader.read_line(), "next");
}

TEST_P(TokenReading, TokensAcrossTheBufferBoundaryReadWhole) {
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
  reader.open(source(path));
  double sum = 0.0;
  for (;;) {
    const TokenReader::NumberToken token = reader.next_number();
    if (token.status == Status::kEndOfFile) break;
    ASSERT_EQ(token.status, Status::kNumber) << token.text;
    sum += token.value;
  }
  EXPECT_EQ(sum, expected_sum);
}

TEST(TokenReaderFile, AMissingFileIsFileNotFound) {
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

TEST(TokenReaderFile, AFolderIsNotAFileToRead) {
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
