#include <gtest/gtest.h>

#include <filesystem>

#include "model/JpegImage.h"
#include "model/PictureCheck.h"
#include "tests/core/BankPictureTestUtil.h"
#include "tests/core/JpegTestUtil.h"
#include "tests/core/PictureTestData.h"
#include "tests/core/TempDir.h"
#include "tools/BankPicture.h"
#include "tools/HtmlText.h"
#include "tools/MoodleExport.h"
#include "tools/MoodleImport.h"
#include "tools/TestBuilder.h"

#include <pugixml.hpp>

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

using TStrings = std::vector<std::string>;

std::string Dump(const TStrings& messages) { return ::testing::PrintToString(messages); }

// Some writers wrap the text; Moodle does not.
std::string Base64(const std::string& bytes, bool wrap = false) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = 0;
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        for (size_t k = 0; k < 3; ++k) v = (v << 8) | (k < n ? static_cast<uint8_t>(bytes[i + k]) : 0);
        for (size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[(v >> (18 - 6 * k)) & 63] : '=';
        if (wrap && i % 57 == 54) out += "\n";
    }
    return out;
}

std::string File(const std::string& name, const std::string& bytes) {
    return "<file name=\"" + name + "\" path=\"/\" encoding=\"base64\">" + Base64(bytes) + "</file>";
}

std::string Bank(const std::string& questions) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n" + questions + "</quiz>\n";
}

// A question as Moodle 4 writes one, its type's own elements and answers given.
std::string Question(const std::string& type, const std::string& name, const std::string& html,
                     const std::string& rest, const std::string& files = "") {
    return "  <question type=\"" + type + "\">\n    <name>\n      <text>" + name +
           "</text>\n    </name>\n    <questiontext format=\"html\">\n      <text><![CDATA[" + html +
           "]]></text>\n" + files + "    </questiontext>\n    <generalfeedback format=\"html\">\n      <text></text>\n"
           "    </generalfeedback>\n    <defaultgrade>1.0000000</defaultgrade>\n    <penalty>0.3333333</penalty>\n"
           "    <hidden>0</hidden>\n    <idnumber></idnumber>\n" + rest + "  </question>\n";
}

std::string Regrade(std::string question, const std::string& grade) {
    const std::string was = "<defaultgrade>1.0000000</defaultgrade>";
    return question.replace(question.find(was), was.size(), "<defaultgrade>" + grade + "</defaultgrade>");
}

std::string Answer(const std::string& fraction, const std::string& html, const std::string& files = "") {
    return "    <answer fraction=\"" + fraction + "\" format=\"html\">\n      <text><![CDATA[" + html +
           "]]></text>\n      <feedback format=\"html\">\n        <text></text>\n      </feedback>\n" + files +
           "    </answer>\n";
}

std::string PlainAnswer(const std::string& fraction, const std::string& text) {
    return "    <answer fraction=\"" + fraction + "\" format=\"moodle_auto_format\">\n      <text>" + text +
           "</text>\n    </answer>\n";
}

// The colour of a pixel of an 8-bit BMP (as BGR hex), the file's own layout read back.
std::string BmpPixel(const std::string& bmp, int x, int y) {
    auto le = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bmp[at])) | static_cast<uint8_t>(bmp[at + 1]) << 8 |
               static_cast<uint8_t>(bmp[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bmp[at + 3])) << 24;
    };
    const uint32_t width = le(18), height = le(22), offset = le(10);
    const uint32_t stride = (width + 3) & ~3u;
    const uint8_t index = static_cast<uint8_t>(bmp[offset + (height - 1 - y) * stride + x]);
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", static_cast<uint8_t>(bmp[54 + index * 4 + 2]),
                  static_cast<uint8_t>(bmp[54 + index * 4 + 1]), static_cast<uint8_t>(bmp[54 + index * 4]));
    return text;
}

std::vector<uint8_t> Filled(int width, int height, std::initializer_list<uint8_t> rgba) {
    std::vector<uint8_t> out;
    for (int i = 0; i < width * height; ++i) out.insert(out.end(), rgba);
    return out;
}

// A drawing of two colours: red, with a blue square from (1, 1) to (2, 2).
std::string Drawing() {
    std::vector<uint8_t> rgba = Filled(5, 4, {200, 30, 40, 255});
    for (int y = 1; y <= 2; ++y) {
        for (int x = 1; x <= 2; ++x) {
            const size_t at = static_cast<size_t>(y * 5 + x) * 4;
            rgba[at] = 0, rgba[at + 1] = 0, rgba[at + 2] = 255;
        }
    }
    return banktest::Png(5, 4, rgba);
}

std::string Jpeg() { return jpegtest::EncodeJpeg({16, 8}, jpegtest::Quadrants); }

// The line of the first `<question type="TYPE">` after `after` in the bank, counted from 1.
int LineOfQuestion(const std::string& xml, const std::string& type, const std::string& after = "") {
    const size_t from = after.empty() ? 0 : xml.find(after);
    const size_t at = xml.find("<question type=\"" + type + "\"", from);
    return static_cast<int>(std::count(xml.begin(), xml.begin() + static_cast<ptrdiff_t>(at), '\n')) + 1;
}

}  // namespace

TEST(HtmlTextTest, HtmlReadsAsABrowserShowsIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"<p>Один</p><p>Два</p>", "Один\nДва"},
        {"<p dir=\"ltr\" style=\"text-align: left;\">Текст<br>\n  строка<br/>ещё</p>\n", "Текст\nстрока\nещё"},
        {"  много   \n\t пробелов  ", "много пробелов"},
        {"a&nbsp;&nbsp;b", "a  b"},
        {"&laquo;Да&raquo; &mdash; &lt;b&gt; &amp;amp; &quot;&apos;", "«Да» — <b> &amp; \"'"},
        {"&#1055;&#x440;&#X438; &#150; &#8470;", "При – №"},
        {"&copy2024 &amp &unknown; & ;", "©2024 & &unknown; & ;"},
        {"&#0; &#xD800; &#99999999999;", "\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD"},
        {"<ul><li>один</li><li>два</li></ul>", "один\nдва"},
        {"<table><tr><td>1</td><td>2</td></tr></table>", "1 2"},
        {"a<!-- <p>comment</p> -->b<script>x = '<p>'</script>c", "abc"},
        {"<span class=\"x\">in</span>line <b>bold</b>", "inline bold"},
        {"1 < 2, a<b", "1 < 2, a<b"},
        {"<img src=\"a.png\" alt=\"a > b\">после", "после"},
    };
    for (const auto& [html, text] : cases) EXPECT_EQ(HtmlToText(html), text) << html;
}

TEST(HtmlTextTest, TextWrittenAsHtmlReadsBackExactly) {
    const char* cases[] = {"Одна строка", "Две\nстроки", " с краёв ", "a  b   c", "\n\nпусто\n\n", "<b> & &amp; \"'",
                           "таб\tи\rвозврат", "  \n  ", "a \n b", ""};
    for (const char* text : cases) EXPECT_EQ(HtmlToText(TextToHtml(text)), text) << text;
}

TEST(HtmlTextTest, ImageSourcesInOrder) {
    EXPECT_EQ(HtmlImageSources("<p><IMG class=a SRC='@@PLUGINFILE@@/a%20b.png'>x<img alt=\"\" src=\"c&amp;d.gif\"/>"
                               "<image src=no.png><img alt=none></p>"),
              (TStrings{"@@PLUGINFILE@@/a%20b.png", "c&d.gif"}));
    EXPECT_EQ(PercentDecode("a%20b%D0%B0%zz%4"), "a b\xD0\xB0%zz%4");
    EXPECT_EQ(PercentEncode("Рис 1.png"), "%D0%A0%D0%B8%D1%81%201.png");
}

TEST(BankPictureTest, JpegAndBmpAreKeptPngAndGifBecomeWhatThePlayerShows) {
    const std::string jpeg = Jpeg();
    const std::string bmp = picturedata::Bmp({4, 2, 24, 0, 0, "", std::string(24, '\x7F')});
    TBankPicture picture;
    std::string reason;
    ASSERT_TRUE(MakePlayerPicture(jpeg, picture, reason)) << reason;
    EXPECT_EQ(picture.Extension, "JPG");
    EXPECT_EQ(picture.Bytes, jpeg);
    EXPECT_FALSE(picture.Converted);
    ASSERT_TRUE(MakePlayerPicture(bmp, picture, reason)) << reason;
    EXPECT_EQ(picture.Extension, "BMP");
    EXPECT_EQ(picture.Bytes, bmp);

    // Few colours: an exact 8-bit BMP.
    ASSERT_TRUE(MakePlayerPicture(Drawing(), picture, reason)) << reason;
    EXPECT_EQ(picture.Extension, "BMP");
    EXPECT_TRUE(picture.Converted);
    EXPECT_TRUE(CheckBitmapFile(picture.Bytes, reason)) << reason;
    EXPECT_EQ(BmpPixel(picture.Bytes, 0, 0), "C81E28");
    EXPECT_EQ(BmpPixel(picture.Bytes, 2, 2), "0000FF");
    EXPECT_EQ(BmpPixel(picture.Bytes, 4, 3), "C81E28");

    // Transparency is drawn on white, half of it half way.
    std::vector<uint8_t> glass = Filled(3, 1, {0, 0, 0, 0});
    glass[4] = 0, glass[7] = 128;  // a half-transparent black pixel
    glass[8] = 10, glass[9] = 20, glass[10] = 30, glass[11] = 255;
    ASSERT_TRUE(MakePlayerPicture(banktest::Png(3, 1, glass), picture, reason)) << reason;
    EXPECT_EQ(BmpPixel(picture.Bytes, 0, 0), "FFFFFF");
    EXPECT_EQ(BmpPixel(picture.Bytes, 1, 0), "7F7F7F");
    EXPECT_EQ(BmpPixel(picture.Bytes, 2, 0), "0A141E");

    // Many colours: a photograph, as JPEG, of the same size.
    ASSERT_TRUE(MakePlayerPicture(banktest::Png(40, 30, banktest::Gradient(40, 30)), picture, reason)) << reason;
    EXPECT_EQ(picture.Extension, "JPG");
    TRawImage image;
    ASSERT_TRUE(DecodeJpeg(picture.Bytes, image, reason)) << reason;
    EXPECT_EQ(image.Width, 40);
    EXPECT_EQ(image.Height, 30);

    // GIF, interlaced or not, its transparent colour white.
    const std::vector<GifColorType> palette = {{255, 0, 0}, {0, 128, 0}, {1, 2, 3}};
    std::vector<uint8_t> indices(9 * 10);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i / 9 % 3);
    for (bool interlaced : {false, true}) {
        ASSERT_TRUE(MakePlayerPicture(banktest::Gif(9, 10, palette, indices, 2, interlaced), picture, reason))
            << reason;
        EXPECT_EQ(picture.Extension, "BMP");
        for (int y = 0; y < 10; ++y) {
            EXPECT_EQ(BmpPixel(picture.Bytes, 4, y), y % 3 == 0 ? "FF0000" : y % 3 == 1 ? "008000" : "FFFFFF")
                << "row " << y << (interlaced ? " interlaced" : "");
        }
    }
}

TEST(BankPictureTest, WhatCannotBeShownIsRefusedWithTheReason) {
    const std::string png = Drawing();
    const std::string gif = banktest::Gif(2, 2, {{0, 0, 0}, {9, 9, 9}}, {0, 1, 1, 0});
    const std::string jpeg = Jpeg();
    const std::pair<std::string, const char*> cases[] = {
        {"GIF89a? not really", "the GIF cannot be read"},
        {png.substr(0, png.size() / 2), "the PNG cannot be read"},
        {std::string("GIF89a\x02\x00\x02\x00\x00\x00\x00;", 14), "the GIF holds no picture"},
        {gif.substr(0, gif.size() - 6), "the GIF cannot be read"},
        {jpeg.substr(0, 40), ""},
        {"<svg xmlns='http://www.w3.org/2000/svg'/>", "not a JPEG, BMP, PNG, GIF, EMF or WMF picture"},
        {"", "not a JPEG"},
    };
    for (const auto& [bytes, reason] : cases) {
        TBankPicture picture;
        std::string why;
        EXPECT_FALSE(MakePlayerPicture(bytes, picture, why)) << reason;
        EXPECT_EQ(why.find(reason), 0u) << reason << " / " << why;
        EXPECT_FALSE(why.empty());
        EXPECT_TRUE(picture.Bytes.empty());
    }
    // Sizes are looked at before anything is allocated for them.
    std::string huge = png;
    huge[16] = '\x7F';  // width 0x7F000005 in the IHDR chunk
    TBankPicture picture;
    std::string why;
    EXPECT_FALSE(MakePlayerPicture(huge, picture, why));
}

TEST(MoodleImportTest, AMoodle4BankMapsEveryTypeWithItsPictures) {
    const std::string jpeg = Jpeg();
    const std::string gif = banktest::Gif(3, 2, {{0, 0, 0}, {255, 255, 255}}, {0, 1, 0, 1, 0, 1});
    const std::string photo = banktest::Png(32, 24, banktest::Gradient(32, 24));
    const std::string xml = Bank(
        "<!-- question: 0  -->\n"
        "  <question type=\"category\">\n    <category>\n      <text>$course$/top</text>\n    </category>\n"
        "  </question>\n"
        "  <question type=\"category\">\n    <category>\n      <text>$course$/top/Default for Физика/Оптика//Линзы</text>\n"
        "    </category>\n    <info format=\"moodle_auto_format\">\n      <text>The default category</text>\n    </info>\n"
        "  </question>\n" +
        Question("multichoice", "Линза",
                 "<p dir=\"ltr\">Какая это&nbsp;линза?</p><p><img src=\"@@PLUGINFILE@@/%D0%BB%D0%B8%D0%BD%D0%B7%D0%B0 1.png\""
                 " alt=\"\" width=\"5\" height=\"4\" role=\"presentation\" class=\"img-fluid\"><br></p>",
                 "    <single>true</single>\n    <shuffleanswers>true</shuffleanswers>\n"
                 "    <answernumbering>abc</answernumbering>\n" +
                     Answer("100", "<p>Собирающая</p>") +
                     Answer("0", "<p><img src=\"@@PLUGINFILE@@/photo.png\"></p>", File("photo.png", photo)) +
                     Answer("-33.33333", "Рассеивающая <img src=\"@@PLUGINFILE@@/lens.gif\">", File("lens.gif", gif)),
                 File("линза 1.png", Drawing())) +
        Question("multichoice", "Чётные", "Какие чётные?",
                 "    <single>false</single>\n" + Answer("50", "2") + Answer("50", "4") + Answer("-100", "5") +
                     Answer("0", "<img src=\"@@PLUGINFILE@@/sub/shot.jpg\">",
                            "<file name=\"shot.jpg\" path=\"/sub/\" encoding=\"base64\">" + Base64(jpeg) + "</file>")) +
        Question("truefalse", "Земля", "Земля круглая.",
                 PlainAnswer("0", "true") + PlainAnswer("100", "false")) +
        Question("shortanswer", "Столица", "Столица <b>Франции</b>?",
                 "    <usecase>0</usecase>\n" + PlainAnswer("100", "Париж") + PlainAnswer("50", "Лион") +
                     PlainAnswer("100", "Paris")) +
        Question("ordering", "Порядок", "По возрастанию:",
                 "    <layouttype>VERTICAL</layouttype>\n    <selecttype>ALL</selecttype>\n"
                 "    <selectcount>0</selectcount>\n    <gradingtype>ABSOLUTE_POSITION</gradingtype>\n" +
                     Answer("2.0000000", "<p>десять</p>") + Answer("1.0000000", "<p>один</p>") +
                     Answer("3.0000000", "<p>сто</p>")) +
        Question("matching", "Пары", "Сопоставьте", "") + Question("numerical", "Число", "2+2?", "") +
        Question("essay", "Эссе", "Напишите", "") + Question("description", "", "Просто текст", "") +
        Question("cloze", "Пропуски", "{1:SHORTANSWER:=Париж}", "") + Question("ddwtos", "Перетащите", "[[1]]", ""));

    const TMoodleImport import = ParseMoodleBank(xml, "bank");
    ASSERT_TRUE(import.Ok()) << Dump(import.Errors);
    EXPECT_EQ(import.Source.Name, "Оптика/Линзы");
    EXPECT_EQ(import.NameLine, 9);
    EXPECT_EQ(TestSourceToJson(import.Source)["Questions"], ordered_json::parse(R"([
        {"AnswerMode": "single", "Priority": 1, "TimeLimit": 0, "Text": "Какая это линза?", "Attach": "LINZA1.BMP",
         "Answers": [{"Weight": 100, "Text": "Собирающая"}, {"Weight": 0, "Text": "", "Attach": "PHOTO.JPG"},
                     {"Weight": -33, "Text": "Рассеивающая", "Attach": "LENS.BMP"}]},
        {"AnswerMode": "multiple", "Priority": 1, "TimeLimit": 0, "Text": "Какие чётные?",
         "Answers": [{"Weight": 50, "Text": "2"}, {"Weight": 50, "Text": "4"}, {"Weight": -100, "Text": "5"},
                     {"Weight": 0, "Text": "", "Attach": "SHOT.JPG"}]},
        {"AnswerMode": "single", "Priority": 1, "TimeLimit": 0, "Text": "Земля круглая.",
         "Answers": [{"Weight": 0, "Text": "Верно"}, {"Weight": 100, "Text": "Неверно"}]},
        {"AnswerMode": "typed", "Priority": 1, "TimeLimit": 0, "Text": "Столица Франции?",
         "Answers": [{"Weight": 100, "Text": ["Париж", "Paris"]}, {"Weight": 50, "Text": ["Лион"]}]},
        {"AnswerMode": "ordering", "Priority": 1, "TimeLimit": 0, "Text": "По возрастанию:",
         "Answers": [{"Weight": 2, "Text": "десять"}, {"Weight": 1, "Text": "один"}, {"Weight": 3, "Text": "сто"}]}
    ])"));
    ASSERT_EQ(import.Files.size(), 4u);
    EXPECT_EQ(import.Files[0].first, "LINZA1.BMP");
    EXPECT_EQ(import.Files[1].first, "PHOTO.JPG");
    EXPECT_EQ(import.Files[2].first, "LENS.BMP");
    EXPECT_EQ(import.Files[3].first, "SHOT.JPG");
    EXPECT_EQ(import.Files[3].second, jpeg);  // kept byte for byte
    EXPECT_EQ(BmpPixel(import.Files[0].second, 1, 1), "0000FF");
    auto line = [&](const char* type, const char* after = "") { return std::to_string(LineOfQuestion(xml, type, after)); };
    EXPECT_EQ(import.QuestionLines,
              (std::vector<int>{LineOfQuestion(xml, "multichoice"), LineOfQuestion(xml, "multichoice", "Линза</text>"),
                                LineOfQuestion(xml, "truefalse"), LineOfQuestion(xml, "shortanswer"),
                                LineOfQuestion(xml, "ordering")}));
    EXPECT_EQ(import.Skipped, 6);
    EXPECT_EQ(import.Warnings, (TStrings{
        "line " + line("shortanswer") + ", question \"Столица\": typed answers of different weights add up: the best one alone scores 100 of 150",
        "line " + line("matching") + ", question \"Пары\": a matching question has no equivalent in a test: skipped",
        "line " + line("numerical") + ", question \"Число\": a numerical question has no equivalent in a test: skipped",
        "line " + line("essay") + ", question \"Эссе\": an essay question has no equivalent in a test: skipped",
        "line " + line("description") + ", question \"Просто текст\": a description (a text without answers) has no equivalent in a test: skipped",
        "line " + line("cloze") + ", question \"Пропуски\": an embedded answers (cloze) question has no equivalent in a test: skipped",
        "line " + line("ddwtos") + ", question \"Перетащите\": a drag and drop into text question has no equivalent in a test: skipped",
    })) << Dump(import.Warnings);
}

TEST(MoodleImportTest, ErrorsNameTheLineAndEveryBadQuestionIsReported) {
    const std::string two = Answer("100", "a") + Answer("0", "b");
    const TStrings whole[] = {
        {"<quiz><question type=\"multichoice\">", "line 1: not well-formed XML (Start-end tags mismatch)"},
        {"<?xml version=\"1.0\"?>\n<bank/>", "not a Moodle XML bank: it has no <quiz> element"},
        {"<quiz>\n<!-- \xCF\xF0\xE8 -->\n</quiz>", "line 2: not UTF-8 text (the bank must be saved as UTF-8)"},
        {Bank(""), "the bank holds no questions"},
        {Bank(Question("essay", "E", "e", "")), "none of the bank's questions has an equivalent in a test"},
    };
    for (const TStrings& c : whole) EXPECT_EQ(ParseMoodleBank(c[0], "bank").Errors, TStrings{c[1]}) << c[0];

    // Each question's error at the line of its <question>, or of the answer or text at fault.
    const std::string xml = Bank(
        Question("multichoice", "Q", "q", Answer("110", "a") + Answer("0", "b")) +
        Question("multichoice", "R", "r", Answer("0", "a") + Answer("-50", "b")) +
        Question("multichoice", "S", "s", Answer("1e2", "a") + Answer("0", "b")) +
        Question("multichoice", "T", "t ✓", two) + Question("multichoice", "U", "u", Answer("100", "a")) +
        Question("multichoice", "V", "v", Answer("100", "a") + Answer("0", "<p> </p>")) +
        Question("truefalse", "W", "w", PlainAnswer("100", "true")) +
        Question("shortanswer", "X", "x", PlainAnswer("0", "нет")) +
        Question("shortanswer", "Y", "y", PlainAnswer("100", "a\xC2\xA6" "b")) +
        Question("ordering", "Z", "z", Answer("1", "only")) + Question("multichoice", "Good", "g", two));
    auto of = [&](const std::string& name) {
        // The <question> element two lines above its name.
        const size_t found = xml.rfind("<question", xml.find("<text>" + name + "</text>"));
        return "line " + std::to_string(std::count(xml.begin(), xml.begin() + static_cast<ptrdiff_t>(found), '\n') + 1) +
               ", question \"" + name + "\": ";
    };
    auto answerAt = [&](const std::string& name, const std::string& answer) {
        const size_t found = xml.find(answer, xml.find("<text>" + name + "</text>"));
        return "line " + std::to_string(std::count(xml.begin(), xml.begin() + static_cast<ptrdiff_t>(found), '\n') + 1) +
               ", question \"" + name + "\": ";
    };
    const TMoodleImport import = ParseMoodleBank(xml, "bank");
    EXPECT_EQ(import.Errors, (TStrings{
        answerAt("Q", "<answer fraction=\"110\"") + "fraction 110 is out of range: fractions are percentages from -100 to 100",
        of("R") + "no answer is right: give one a positive fraction",
        answerAt("S", "<answer fraction=\"1e2\"") + "fraction \"1e2\" is not a number",
        answerAt("T", "<questiontext") + "character \"✓\" (U+2713) cannot be stored: test texts are in Windows-1251 (Cyrillic and Latin)",
        of("U") + "a choice needs at least two answers",
        answerAt("V", "<answer fraction=\"0\"") + "an empty answer",
        of("W") + "a true/false question needs its \"true\" and \"false\" answers",
        of("X") + "no answer is right: give one a positive fraction",
        answerAt("Y", "<answer") + "an answer cannot hold \"¦\": it separates the variants",
        of("Z") + "an ordering needs at least two items",
    })) << Dump(import.Errors);
    EXPECT_EQ(import.Source.Questions.size(), 1u);
}

TEST(MoodleImportTest, WhatIsLeftOutIsAWarningNamingIt) {
    const std::string jpeg = Jpeg();
    const std::string xml = Bank(
        Question("multichoice", "Missing", "<img src=\"@@PLUGINFILE@@/gone.png\">Текст",
                 Answer("100", "a <img src=\"http://example.org/x.png\">") + Answer("0", "b")) +
        Regrade(Question("multichoice", "Broken", "<img src=\"@@PLUGINFILE@@/cut.jpg\"><img src=\"@@PLUGINFILE@@/b.jpg\">",
                 Answer("100", "a") +
                     Answer("0", "<img src=\"@@PLUGINFILE@@/bad.png\">b", File("bad.png", "\x89PNG\r\n\x1A\n damaged")),
                 File("cut.jpg", jpeg.substr(0, 30)) + File("b.jpg", jpeg)), "2.5000000") +
        Question("shortanswer", "Wild", "Столица?", PlainAnswer("100", "Пари*") + PlainAnswer("0", "*")) +
        Question("ordering", "Some", "Порядок",
                 "    <selecttype>RANDOM</selecttype>\n" + Answer("1", "a") + Answer("2", "b")) +
        Question("multichoice", "Wrapped", "<img src=\"data:image/jpeg;base64," + Base64(jpeg) + "\">",
                 Answer("100", "<img src=\"@@PLUGINFILE@@/w.jpg\">") + Answer("0", "b"),
                 // The answer's picture among the question text's files, its base64 wrapped.
                 "<file name=\"w.jpg\" path=\"/\" encoding=\"base64\">\n" + Base64(jpeg, true) + "\n</file>") +
        "  <question type=\"multichoice\">\n    <name><text>Formats</text></name>\n"
        "    <questiontext format=\"moodle_auto_format\"><text>Строка 1\r\nСтрока &lt;b&gt;2&lt;/b&gt;</text>"
        "</questiontext>\n" +
        "    <answer fraction=\"100\" format=\"plain_text\"><text>  &lt;b&gt; как есть\n </text></answer>\n" +
        "    <answer fraction=\"0\" format=\"markdown\"><text>*b*</text></answer>\n  </question>\n");
    TMoodleImport import = ParseMoodleBank(xml, "bank");
    ASSERT_TRUE(import.Ok()) << Dump(import.Errors);
    auto of = [&](const std::string& name) {
        const size_t found = xml.rfind("<question", xml.find("<text>" + name + "</text>"));
        return "line " + std::to_string(std::count(xml.begin(), xml.begin() + static_cast<ptrdiff_t>(found), '\n') + 1) +
               ", question \"" + name + "\": ";
    };
    const TStrings expected = {
        of("Missing") + "picture \"gone.png\" of the question's text is not in the bank: left out",
        of("Missing") + "picture \"http://example.org/x.png\" of answer 1 is outside the bank (a link): left out",
        of("Broken") + "the question's text has 2 pictures: only the first is kept",
        of("Broken") + "picture \"cut.jpg\" of the question's text cannot be shown: ",
        of("Broken") + "defaultgrade 2.5000000 is not a whole number from 1 to 127: Priority 1",
        of("Broken") + "picture \"bad.png\" of answer 2 cannot be shown: the PNG cannot be read: ",
        of("Wild") + "\"Пари*\": \"*\" is a wildcard in Moodle, but the player takes it as written",
        of("Some") + "Moodle shows a selection of the items (RANDOM); the test shows them all",
    };
    ASSERT_EQ(import.Warnings.size(), expected.size()) << Dump(import.Warnings);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(import.Warnings[i].find(expected[i]), 0u) << import.Warnings[i];
    const std::vector<TSourceQuestion>& q = import.Source.Questions;
    ASSERT_EQ(q.size(), 6u);
    EXPECT_EQ(q[5].Text, "Строка 1\nСтрока 2");
    EXPECT_EQ(q[5].Answers[0].Text, "<b> как есть");
    EXPECT_EQ(q[5].Answers[1].Text, "*b*");
    EXPECT_EQ(q[0].Text, "Текст");
    EXPECT_EQ(q[0].Attach.File, "");
    EXPECT_EQ(q[0].Answers[0].Text, "a");
    EXPECT_EQ(q[1].Attach.File, "");
    EXPECT_EQ(q[1].Priority, 1);
    EXPECT_EQ(q[1].Answers[1].Attach.File, "");
    EXPECT_EQ(q[4].Attach.File, "PICTURE.JPG");
    EXPECT_EQ(q[4].Answers[0].Attach.File, "W.JPG");
    ASSERT_EQ(import.Files.size(), 2u);
    EXPECT_EQ(import.Files[0].second, jpeg);
    EXPECT_EQ(import.Files[1].second, jpeg);
}

class MoodleFileTest : public ::testing::Test {
public:
    TTempDir dir;
    TPath src = dir / "src";
    TPath out = dir / "out";

    void Write(const TPath& path, const std::string& bytes) {
        fs::create_directories(path.parent_path());
        WriteFileBytes(path, bytes);
    }

    TMoodleImport Import(const std::string& xml, const TPath& settings = {}, bool overwrite = false) {
        Write(dir / "Банк.xml", xml);
        return ImportMoodleFile({dir / "Банк.xml", out, settings, overwrite});
    }

    std::vector<std::string> Listing(const TPath& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().u8string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(MoodleFileTest, WritesTestJsonAndThePicturesOrNothingAtAll) {
    const std::string xml = Bank(Question("multichoice", "Q", "<img src=\"@@PLUGINFILE@@/d.png\">Что?",
                                          Answer("100", "a") + Answer("0", "b"), File("d.png", Drawing())));
    TMoodleImport import = Import(xml);
    ASSERT_TRUE(import.Ok()) << Dump(import.Errors);
    EXPECT_EQ(Listing(out), (TStrings{"D.BMP", "test.json"}));
    EXPECT_EQ(Listing(dir.Path()), (TStrings{"out", "Банк.xml"}));  // no staging folder left
    const TTestSource read = ReadTestSource(out);
    EXPECT_EQ(read.Name, "Банк");
    EXPECT_EQ(TestSourceToJson(read), TestSourceToJson(import.Source));
    EXPECT_EQ(CheckTestFolder(out).Errors, TStrings{});

    // Another import into the same folder needs --force, for test.json and for a picture alike.
    fs::remove(out / "test.json");
    import = Import(xml);
    EXPECT_EQ(import.Errors, TStrings{(out / "D.BMP").u8string() + " exists already (--force replaces it)"});
    WriteFileBytes(out / "D.BMP", "mine");
    EXPECT_TRUE(Import(xml, {}, true).Ok());
    EXPECT_NE(ReadFileBytes(out / "D.BMP"), "mine");

    // What the check finds is reported at the question's line, and nothing is written.
    fs::remove_all(out);
    Write(dir / "settings.json", R"({"MaxScore": 0})");
    import = Import(xml, dir / "settings.json");
    EXPECT_EQ(import.Errors, TStrings{"MaxScore: 0 is out of range (1 to 2147483647)"});
    const std::string longText(70000, 'x');
    import = Import(Bank(Question("multichoice", "Long", longText + "<img src=\"@@PLUGINFILE@@/d.png\">",
                                  Answer("100", "a") + Answer("0", "b"), File("d.png", Drawing()))));
    EXPECT_EQ(import.Errors, TStrings{"line 3, Text: too long: 70000 bytes, at most 65535 fit"});
    EXPECT_FALSE(fs::exists(out));
    // Nor in a folder named with a trailing separator.
    import = ImportMoodleFile({dir / "Банк.xml", (dir / "slash").concat("/"), {}, false});
    EXPECT_FALSE(import.Ok());
    EXPECT_EQ(Listing(dir.Path()), (TStrings{"settings.json", "Банк.xml"}));
}

TEST_F(MoodleFileTest, AnExportedTestImportsBackToTheSameTestJsonAndPictureBytes) {
    const std::string jpeg = Jpeg();
    const std::string bmp = picturedata::Bmp({4, 2, 24, 0, 0, "", std::string(24, '\x40')});
    Write(src / "A0000001.JPG", jpeg);
    Write(src / "PIC.BMP", bmp);
    Write(src / "test.json", R"({
      "Name": "Физика/Оптика",
      "Questions": [
        {"Text": "Что на рисунке?\nВыберите  одно: <линза> & \"зеркало\"", "Attach": "A0000001.JPG", "Priority": 3,
         "Answers": [{"Weight": 100, "Text": "Линза", "Attach": "PIC.BMP"}, {"Weight": 50, "Text": "Призма  с   пробелами"},
                     {"Weight": 0, "Text": "", "Attach": "A0000001.JPG"}]},
        {"AnswerMode": "multiple", "Text": "Чётные", "Answers": [{"Weight": 50, "Text": "2"}, {"Weight": 50, "Text": "4"},
                     {"Weight": -100, "Text": "5"}]},
        {"AnswerMode": "typed", "Text": "Столица Франции?", "Answers": [{"Weight": 100, "Text": ["Париж", "Paris"]}]},
        {"AnswerMode": "ordering", "Text": "По возрастанию", "Attach": "PIC.BMP",
         "Answers": [{"Weight": 1, "Text": "один"}, {"Weight": 2, "Text": "десять", "Attach": "PIC.BMP"},
                     {"Weight": 3, "Text": "сто"}]}
      ]})");
    const TMoodleExport bank = ExportMoodleFile(src, dir / "bank.xml");
    ASSERT_TRUE(bank.Ok()) << Dump(bank.Errors);
    EXPECT_EQ(bank.Warnings, TStrings{});
    EXPECT_EQ(bank.Questions, 4);
    EXPECT_EQ(bank.Pictures, 5);
    const TMoodleImport back = ImportMoodleFile({dir / "bank.xml", out, {}, false});
    ASSERT_TRUE(back.Ok()) << Dump(back.Errors);
    EXPECT_EQ(back.Warnings, TStrings{});
    EXPECT_EQ(TestSourceToJson(ReadTestSource(out)).dump(2), TestSourceToJson(ReadTestSource(src)).dump(2));
    EXPECT_EQ(Listing(out), (TStrings{"A0000001.JPG", "PIC.BMP", "test.json"}));
    EXPECT_EQ(ReadFileBytes(out / "A0000001.JPG"), jpeg);
    EXPECT_EQ(ReadFileBytes(out / "PIC.BMP"), bmp);

    // From the built test too: the source unpack gives back, settings apart.
    const TPath exe = dir / "test.exe";
    WriteFileBytes(dir / "player.exe", "MZ a stand-in for the player");
    TBuildOptions options;
    options.Player = dir / "player.exe";
    options.Output = exe;
    ASSERT_TRUE(BuildTest(ReadTestSource(src), options).Ok());
    ASSERT_TRUE(ExportMoodleFile(exe, dir / "from-exe.xml").Ok());
    ASSERT_TRUE(UnpackTest(exe, dir / "unpacked").Ok());
    ordered_json settings = TestSourceToJson(ReadTestSource(dir / "unpacked"));
    settings.erase("Questions");
    Write(dir / "settings.json", settings.dump());
    ASSERT_TRUE(ImportMoodleFile({dir / "from-exe.xml", dir / "again", dir / "settings.json", false}).Ok());
    EXPECT_EQ(TestSourceToJson(ReadTestSource(dir / "again")).dump(2),
              TestSourceToJson(ReadTestSource(dir / "unpacked")).dump(2));
    EXPECT_EQ(Listing(dir / "again"), Listing(dir / "unpacked"));
    for (const std::string& name : Listing(dir / "unpacked")) {
        if (name != "test.json") {
            EXPECT_EQ(ReadFileBytes(dir / "again" / name), ReadFileBytes(dir / "unpacked" / name)) << name;
        }
    }
}

TEST_F(MoodleFileTest, FractionsScoreAsThePlayerDoesAndWhatMoodleCannotHoldIsNamed) {
    Write(src / "tick.wav", "RIFF\x04\0\0\0WAVE");
    Write(src / "pic.jpg", Jpeg());
    Write(src / "test.json", R"({"Questions": [
        {"Text": "single", "TimeLimit": 30, "Priority": 0,
         "Answers": [{"Weight": 2, "Text": "a"}, {"Weight": 1, "Text": "b", "Attach": {"File": "pic.jpg", "InPopup": true}},
                     {"Weight": -1, "Text": "c", "Attach": "tick.wav"}]},
        {"AnswerMode": "multiple", "Text": "multiple",
         "Answers": [{"Weight": 2, "Text": "a"}, {"Weight": 1, "Text": "b"}, {"Weight": -1, "Text": "c"}]},
        {"AnswerMode": "typed", "Text": "typed",
         "Answers": [{"Weight": 8, "Text": ["x", "y"], "Attach": "pic.jpg"}, {"Weight": 3, "Text": ["z"]}]},
        {"AnswerMode": "ordering", "Text": "ordering",
         "Answers": [{"Weight": 30, "Text": "third"}, {"Weight": 10, "Text": "first"}, {"Weight": 20, "Text": "second"}]}
    ]})");
    const TMoodleExport bank = ExportMoodleFile(src, dir / "bank.xml");
    ASSERT_TRUE(bank.Ok()) << Dump(bank.Errors);
    EXPECT_EQ(bank.Warnings, (TStrings{
        "question 1, Priority: 0: the question counts nothing in Moodle",
        "question 1, TimeLimit: Moodle has no time limit per question: left out",
        "question 1, Answers[2].Attach: the display options have no place in Moodle: left out",
        "question 1, Answers[3].Attach: \"tick.wav\" left out: a Moodle bank carries pictures only",
        "question 3, Answers[1].Attach: \"pic.jpg\" left out: a Moodle bank carries pictures in choice and ordering "
        "answers only",
        "question 3, Answers[2]: fraction 37.5 is not one of Moodle's grades: import the bank with \"nearest grade\"",
    })) << Dump(bank.Warnings);
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(bank.Xml.c_str()));
    std::vector<std::string> answers;
    EXPECT_STREQ(document.select_node("//question[@type='category']/category/text").node().child_value(),
                 "$course$/top/src");
    for (pugi::xml_node q : document.child("quiz").children("question")) {
        if (std::string_view(q.attribute("type").value()) == "category") continue;
        std::string line = std::string(q.attribute("type").value()) + ":";
        for (pugi::xml_node a : q.children("answer")) {
            line += std::string(" ") + a.attribute("fraction").value() + "=" + HtmlToText(a.child("text").child_value());
        }
        answers.push_back(line);
    }
    EXPECT_EQ(answers, (TStrings{"multichoice: 100=a 50=b -50=c", "multichoice: 66.6666667=a 33.3333333=b -33.3333333=c",
                                 "shortanswer: 100=x 100=y 37.5=z", "ordering: 1=first 2=second 3=third"}));
    EXPECT_STREQ(document.select_node("//question[@type='multichoice'][1]/defaultgrade").node().child_value(), "0");
}
