#pragma once
// A test's questions as a Moodle XML bank that Moodle imports: single and multiple choice as
// multichoice, typed input as shortanswer, ordering as the ordering question type, pictures
// embedded as base64 <file> elements. What Moodle has no place for (sounds, videos, objects,
// display options, time limits) is left out with a warning. Importing the bank again
// (tools/MoodleImport.h) gives the same questions and the same bytes of every JPEG and BMP
// attachment when the test's weights are percentages and its files have 8.3 names.

#include <string>
#include <vector>

#include "tools/TestSource.h"

struct TMoodleExport {
    std::string Xml;
    std::vector<std::string> Errors;  // any error: nothing is to be written
    std::vector<std::string> Warnings;
    int Questions = 0;
    int Pictures = 0;  // <file> elements
    bool Ok() const { return Errors.empty(); }
};

// The attachments are read from source.Folder.
TMoodleExport ExportMoodleBank(const TTestSource& source);

// INPUT is a source folder (or its test.json) or a test executable; OUTPUT the bank to write.
TMoodleExport ExportMoodleFile(const TPath& input, const TPath& output);
