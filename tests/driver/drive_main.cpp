// defpatch_drive: the out-of-process driver as a command, for the demo and for
// trying a run by hand. Starts a program, answers its windows by the given
// script, and prints the transcript and exit code.
//
//   defpatch_drive.exe [--start DIR] [--timeout MS] [--env NAME=VALUE]...
//                      [--stop-after-script] [--answer ANSWER]... -- PROGRAM [ARGS...]
//
// ANSWER is CAPTION=ACTION, split at the last '=':
//   ACTION  Press:ID | Command:ID | Enter | Escape | CloseBox | None
//           followed by any of ",tick:ID" and ",focus:ID"
//   A CAPTION starting with '?' is optional (skipped when that window does not come).
// Example: --answer "Virus Definition Files Found=Press:1,tick:1005"
//
// Exit code: 0 when the run went as scripted, 1 when it did not, 2 on wrong use.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness/driver.h"

namespace {

int usage(const char* problem)
{
    std::fprintf(stderr,
                 "defpatch_drive: %s\n"
                 "usage: defpatch_drive [--start DIR] [--timeout MS] [--env NAME=VALUE]...\n"
                 "                      [--stop-after-script] [--answer CAPTION=ACTION]... -- PROGRAM [ARGS...]\n"
                 "  ACTION: Press:ID | Command:ID | Enter | Escape | CloseBox | None, then ,tick:ID ,focus:ID\n",
                 problem);
    return 2;
}

bool parseNumber(const std::string& text, int& number)
{
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0')
        return false;
    number = static_cast<int>(value);
    return true;
}

bool parseAnswer(const std::string& text, Answer& answer)
{
    std::size_t equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0)
        return false;
    answer.caption = text.substr(0, equals);
    if (answer.caption[0] == '?') {
        answer.optional = true;
        answer.caption.erase(0, 1);
    }
    std::vector<std::string> parts;
    std::string rest = text.substr(equals + 1);
    for (std::size_t start = 0;;) {
        std::size_t comma = rest.find(',', start);
        parts.push_back(rest.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        std::size_t colon = part.find(':');
        std::string word = part.substr(0, colon);
        int id = 0;
        bool hasId = colon != std::string::npos && parseNumber(part.substr(colon + 1), id);
        if (i > 0) {
            if (word == "tick" && hasId)
                answer.tick.push_back(id);
            else if (word == "focus" && hasId)
                answer.focus = id;
            else
                return false;
            continue;
        }
        if (word == "Press" && hasId)
            answer.action = Action::Press;
        else if (word == "Command" && hasId)
            answer.action = Action::Command;
        else if (word == "Enter" && colon == std::string::npos)
            answer.action = Action::Enter;
        else if (word == "Escape" && colon == std::string::npos)
            answer.action = Action::Escape;
        else if (word == "CloseBox" && colon == std::string::npos)
            answer.action = Action::CloseBox;
        else if (word == "None" && colon == std::string::npos)
            answer.action = Action::None;
        else
            return false;
        if (hasId)
            answer.id = id;
    }
    return true;
}

// Quotes an argument for the child's command line when it holds a blank.
std::string quoted(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string text = "\"";
    for (char c : argument)
        text += (c == '"') ? std::string("\\\"") : std::string(1, c);
    return text + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    RunOptions options;
    std::vector<Answer> script;
    int i = 1;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "--start") {
            const char* dir = value();
            if (!dir)
                return usage("--start needs a directory");
            options.startDir = dir;
        } else if (arg == "--timeout") {
            const char* ms = value();
            int number = 0;
            if (!ms || !parseNumber(ms, number) || number <= 0)
                return usage("--timeout needs a number of milliseconds");
            options.timeoutMs = static_cast<DWORD>(number);
        } else if (arg == "--env") {
            const char* entry = value();
            const std::size_t equals = entry ? std::string(entry).find('=') : std::string::npos;
            if (equals == std::string::npos || equals == 0)
                return usage("--env needs NAME=VALUE");
            options.env.push_back(entry);
        } else if (arg == "--stop-after-script") {
            options.stopAfterScript = true;
        } else if (arg == "--answer") {
            const char* text = value();
            Answer answer;
            if (!text || !parseAnswer(text, answer))
                return usage("--answer needs CAPTION=ACTION");
            script.push_back(answer);
        } else {
            return usage(("unknown option " + arg).c_str());
        }
    }
    if (i >= argc)
        return usage("no program given after --");
    options.exe = argv[i++];
    std::string commandLine;
    for (; i < argc; ++i)
        commandLine += (commandLine.empty() ? "" : " ") + quoted(argv[i]);

    RunResult result = runDefPatch(commandLine, script, options);
    std::fputs(describe(result).c_str(), stdout);
    return result.ok() ? 0 : 1;
}
