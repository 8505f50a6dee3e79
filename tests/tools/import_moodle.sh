#!/bin/sh
# testmaker import-moodle and export-moodle as a teacher runs them: a Moodle XML bank with its
# pictures becomes a source folder that checks clean and builds; the built test goes back to a
# bank that imports to the same test.json and the same picture bytes.
#   import_moodle.sh TESTMAKER [LAUNCHER]
# LAUNCHER runs TESTMAKER when it is not a program of this system (scripts/wine-run).
set -eu
TESTMAKER=$1
LAUNCHER=${2:-}
case $TESTMAKER in /*) ;; *) TESTMAKER=$(pwd)/$TESTMAKER ;; esac
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh"
magic() { od -An -tx1 -N2 "$1" | tr -d ' \n'; }

printf 'MZ stand-in player' >player.exe
# The pictures a Moodle bank holds: a drawing (PNG), a photograph (PNG), a GIF and a JPEG.
convert -size 40x20 xc:'#C81E28' -fill blue -draw 'rectangle 5,5 15,15' drawing.png
convert -size 64x48 gradient:red-blue -attenuate 0.5 +noise Gaussian photo.png
convert -size 30x30 xc:white -fill green -draw 'circle 15,15 15,5' -transparent white ball.gif
convert -size 24x16 xc:'#205080' photo.jpg
b64() { base64 -w0 "$1"; }
cat >bank.xml <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<quiz>
<!-- question: 0  -->
  <question type="category">
    <category>
      <text>\$course\$/top</text>
    </category>
  </question>
  <question type="category">
    <category>
      <text>\$course\$/top/Default for Физика/Оптика</text>
    </category>
    <info format="moodle_auto_format">
      <text>The default category</text>
    </info>
  </question>
  <question type="multichoice">
    <name>
      <text>Линза</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p dir="ltr">Что это&nbsp;за &laquo;линза&raquo;?</p><p><img src="@@PLUGINFILE@@/drawing%201.png" alt="" width="40" height="20" role="presentation" class="img-fluid"><br></p>]]></text>
      <file name="drawing 1.png" path="/" encoding="base64">$(b64 drawing.png)</file>
    </questiontext>
    <generalfeedback format="html">
      <text></text>
    </generalfeedback>
    <defaultgrade>2.0000000</defaultgrade>
    <penalty>0.3333333</penalty>
    <hidden>0</hidden>
    <idnumber></idnumber>
    <single>true</single>
    <shuffleanswers>true</shuffleanswers>
    <answernumbering>abc</answernumbering>
    <answer fraction="100" format="html">
      <text><![CDATA[<p>Собирающая</p>]]></text>
      <feedback format="html">
        <text></text>
      </feedback>
    </answer>
    <answer fraction="0" format="html">
      <text><![CDATA[<p><img src="@@PLUGINFILE@@/photo.png" alt=""></p>]]></text>
      <feedback format="html">
        <text></text>
      </feedback>
      <file name="photo.png" path="/" encoding="base64">$(b64 photo.png)</file>
    </answer>
    <answer fraction="-50" format="html">
      <text>&lt;p&gt;Рассеивающая &lt;img src="@@PLUGINFILE@@/ball.gif"&gt;&lt;/p&gt;</text>
      <feedback format="html">
        <text></text>
      </feedback>
      <file name="ball.gif" path="/" encoding="base64">$(b64 ball.gif)</file>
    </answer>
  </question>
  <question type="multichoice">
    <name>
      <text>Чётные</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p>Какие числа чётные?<img src="@@PLUGINFILE@@/photo.jpg"></p>]]></text>
      <file name="photo.jpg" path="/" encoding="base64">$(b64 photo.jpg)</file>
    </questiontext>
    <defaultgrade>1.0000000</defaultgrade>
    <single>false</single>
    <answer fraction="50" format="html"><text>2</text></answer>
    <answer fraction="50" format="html"><text>4</text></answer>
    <answer fraction="-100" format="html"><text>5</text></answer>
  </question>
  <question type="truefalse">
    <name>
      <text>Свет</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p>Свет — это волна.</p>]]></text>
    </questiontext>
    <defaultgrade>1.0000000</defaultgrade>
    <answer fraction="100" format="moodle_auto_format"><text>true</text></answer>
    <answer fraction="0" format="moodle_auto_format"><text>false</text></answer>
  </question>
  <question type="shortanswer">
    <name>
      <text>Фокус</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p>Как называется точка, где сходятся лучи?</p>]]></text>
    </questiontext>
    <defaultgrade>1.0000000</defaultgrade>
    <usecase>0</usecase>
    <answer fraction="100" format="moodle_auto_format"><text>Фокус</text></answer>
    <answer fraction="100" format="moodle_auto_format"><text>focus</text></answer>
  </question>
  <question type="ordering">
    <name>
      <text>Порядок</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p>По длине волны:</p>]]></text>
    </questiontext>
    <defaultgrade>1.0000000</defaultgrade>
    <layouttype>VERTICAL</layouttype>
    <selecttype>ALL</selecttype>
    <selectcount>0</selectcount>
    <gradingtype>ABSOLUTE_POSITION</gradingtype>
    <answer fraction="1.0000000" format="html"><text><![CDATA[<p>синий</p>]]></text></answer>
    <answer fraction="2.0000000" format="html"><text><![CDATA[<p>зелёный</p>]]></text></answer>
    <answer fraction="3.0000000" format="html"><text><![CDATA[<p>красный</p>]]></text></answer>
  </question>
  <question type="matching">
    <name>
      <text>Пары</text>
    </name>
    <questiontext format="html">
      <text><![CDATA[<p>Соедините</p>]]></text>
    </questiontext>
  </question>
  <question type="essay">
    <name>
      <text>Эссе</text>
    </name>
    <questiontext format="html">
      <text>Опишите опыт</text>
    </questiontext>
  </question>
</quiz>
EOF

run import import-moodle bank.xml -o src
check "import: exit 0" test "$rc" = 0
check "import: nothing on stderr" test ! -s import.err
is "import: summary" import.out '[.questions, .attachments, .skipped, .errors]' '[5,4,2,[]]'
is "import: the skipped, with their lines" import.out .warnings \
    '["line 109, question \"Пары\": a matching question has no equivalent in a test: skipped","line 117, question \"Эссе\": an essay question has no equivalent in a test: skipped"]'
is "import: the output folder" import.out '.output | gsub("\\\\"; "/") | endswith("/src")' true
is "test.json: the category's name" src/test.json .Name '"Оптика"'
is "test.json: modes" src/test.json '[.Questions[].AnswerMode]' '["single","multiple","single","typed","ordering"]'
is "test.json: texts" src/test.json '[.Questions[].Text]' \
    '["Что это за «линза»?","Какие числа чётные?","Свет — это волна.","Как называется точка, где сходятся лучи?","По длине волны:"]'
is "test.json: weights" src/test.json '[.Questions[] | [.Answers[].Weight]]' \
    '[[100,0,-50],[50,50,-100],[100,0],[100],[1,2,3]]'
is "test.json: priorities" src/test.json '[.Questions[].Priority]' '[2,1,1,1,1]'
is "test.json: variants" src/test.json '.Questions[3].Answers[0].Text' '["Фокус","focus"]'
is "test.json: attachments" src/test.json '[.Questions[0].Attach, .Questions[0].Answers[1].Attach, .Questions[0].Answers[2].Attach, .Questions[1].Attach]' \
    '["DRAWING1.BMP","PHOTO.JPG","BALL.BMP","PHOTO_2.JPG"]'
check "pictures: the drawing is a BMP" test "$(magic src/DRAWING1.BMP)" = 424d
check "pictures: its colours exact" test "$(convert src/DRAWING1.BMP -format '%[pixel:p{0,0}] %[pixel:p{10,10}]' info:)" = 'srgb(200,30,40) srgb(0,0,255)'
check "pictures: the photograph a JPEG" test "$(magic src/PHOTO.JPG)" = ffd8
check "pictures: the GIF a BMP, transparency white" test "$(convert src/BALL.BMP -format '%[pixel:p{0,0}] %[pixel:p{15,15}]' info:)" = 'srgb(255,255,255) srgb(0,128,0)'
check "pictures: the JPEG kept as it was" cmp -s photo.jpg src/PHOTO_2.JPG

run check check src
is "check: clean" check.out . '{"errors":[],"warnings":[]}'
run build build src -o test.exe --player player.exe
check "build: exit 0" test "$rc" = 0
is "build: summary" build.out '[.questions, .attachments]' '[5,4]'

# An existing test.json is kept unless --force.
run again import-moodle bank.xml -o src
check "again: exit 1" test "$rc" = 1
is "again: every file it would replace" again.out '.errors | length' 5
check "again: names test.json" grep -q 'test.json exists already (--force replaces it)' again.out
run force import-moodle bank.xml -o src --force
check "force: exit 0" test "$rc" = 0

# Errors: every bad question named at its line, nothing written.
sed -e 's|<answer fraction="50" format="html"><text>2</text>|<answer fraction="150" format="html"><text>2</text>|' \
    -e 's|Свет — это волна.|Свет ✓|' bank.xml >bad.xml
run bad import-moodle bad.xml -o bad
check "bad: exit 1" test "$rc" = 1
is "bad: the errors" bad.out .errors \
    '["line 66, question \"Чётные\": fraction 150 is out of range: fractions are percentages from -100 to 100","line 74, question \"Свет\": character \"✓\" (U+2713) cannot be stored: test texts are in Windows-1251 (Cyrillic and Latin)"]'
check "bad: nothing written" test ! -e bad
printf '<quiz><question>' >broken.xml
run broken import-moodle broken.xml -o broken
check "broken: exit 1" test "$rc" = 1
check "broken: not XML" grep -q 'line 1: not well-formed XML' broken.out

# Back to Moodle from the built test, and in again: the same test.json, the same pictures.
run export export-moodle test.exe -o back.xml
check "export: exit 0" test "$rc" = 0
is "export: summary" export.out '[.questions, .pictures, .warnings]' '[5,4,[]]'
check "export: pictures as base64 files" test "$(grep -c '<file name="A000000[1-4]\.\(JPG\|BMP\)" path="/" encoding="base64">' back.xml)" = 4
run unpack unpack test.exe -o unpacked
jq 'del(.Questions)' unpacked/test.json >settings.json
run reimport import-moodle back.xml -o again --settings settings.json
check "reimport: exit 0" test "$rc" = 0
check "round trip: the same test.json" cmp -s unpacked/test.json again/test.json
cmp -s unpacked/test.json again/test.json || diff unpacked/test.json again/test.json >&2 || true
for f in unpacked/A*; do check "round trip: $(basename "$f")" cmp -s "$f" "again/$(basename "$f")"; done
run exportsrc export-moodle src -o src.xml
check "export from a folder: exit 0" test "$rc" = 0

exit $failed
