// SPDX-License-Identifier: MIT
#include "AdministratorSettings.h"

#include "CLIException.h"
#include "Utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace {

const std::string VARIABLE = "VORLIXD_OPTIONS";

bool blank(char c) {
    return c == ' ' || c == '\t';
}

// One assignment or would-be assignment of the file: a line, or several where a quote or a
// trailing backslash carries it on.
struct Statement {
    size_t line = 0;      // where it starts, counted from 1
    std::string text;     // as written, to tell whether it names VORLIXD_OPTIONS
    std::string key;      // before the '=', without the blanks around it
    bool assigns = false; // it has an '='
    std::string value;    // with the quotes and escapes resolved
    bool quoteOpen = false;
};

// The file's statements as systemd's reader of environment files takes them, one character at a
// time, each state of the reader a step of its own. A comment ends at its line end even after a
// backslash: a comment that swallowed the assignment under it would be a trap.
class StatementReader {
public:
    // `text` has only '\n' for line ends.
    static std::vector<Statement> statements(const std::string& text) {
        StatementReader reader;
        for (const char c : text) {
            reader.take(c);
        }
        reader.end();
        return reader.found;
    }

private:
    enum class State { BeforeKey, Comment, Key, BeforeValue, Value, Escape, Single, Double, DoubleEscape };

    void take(char c) {
        if (state != State::BeforeKey && state != State::Comment) {
            current.text += c;
        }
        step(c);
        line += c == '\n' ? 1 : 0;
    }

    void step(char c) {
        switch (state) {
        case State::BeforeKey:
            return beforeKey(c);
        case State::Comment:
            state = c == '\n' ? State::BeforeKey : State::Comment;
            return;
        case State::Key:
            return key(c);
        case State::BeforeValue:
            return beforeValue(c);
        case State::Value:
            return value(c);
        case State::Escape: // a backslash keeps what follows; before a line end it joins the lines
            return escaped(c);
        case State::Single:
            return singleQuoted(c);
        case State::Double:
            return doubleQuoted(c);
        case State::DoubleEscape:
            return doubleEscaped(c);
        }
    }

    void beforeKey(char c) {
        if (c == '#' || c == ';') {
            state = State::Comment;
        } else if (!blank(c) && c != '\n') {
            current = Statement();
            current.line = line;
            current.text = current.key = std::string(1, c);
            trailingBlanks = std::string::npos;
            state = State::Key;
        }
    }

    void key(char c) {
        if (c == '\n') {
            finish();
        } else if (c == '=') {
            current.assigns = true;
            state = State::BeforeValue;
        } else {
            current.key += c;
        }
    }

    void beforeValue(char c) {
        if (c == '\n') {
            finish();
        } else if (c == '\'') {
            state = State::Single;
        } else if (c == '"') {
            state = State::Double;
        } else if (c == '\\') {
            state = State::Escape;
        } else if (!blank(c)) {
            current.value += c;
            state = State::Value;
        }
    }

    // Unquoted: blanks at the end are dropped, those within kept.
    void value(char c) {
        if (c == '\n') {
            finish();
            return;
        }
        if (c == '\\') {
            trailingBlanks = std::string::npos;
            state = State::Escape;
            return;
        }
        if (!blank(c)) {
            trailingBlanks = std::string::npos;
        } else if (trailingBlanks == std::string::npos) {
            trailingBlanks = current.value.size();
        }
        current.value += c;
    }

    void escaped(char c) {
        if (c != '\n') {
            current.value += c;
        }
        state = State::Value;
    }

    void singleQuoted(char c) {
        if (c == '\'') {
            state = State::BeforeValue;
        } else {
            current.value += c;
        }
    }

    void doubleQuoted(char c) {
        if (c == '"') {
            state = State::BeforeValue;
        } else if (c == '\\') {
            state = State::DoubleEscape;
        } else {
            current.value += c;
        }
    }

    // As in a shell: only these lose their backslash.
    void doubleEscaped(char c) {
        if (c == '"' || c == '\\' || c == '`' || c == '$') {
            current.value += c;
        } else if (c != '\n') {
            current.value += '\\';
            current.value += c;
        }
        state = State::Double;
    }

    void finish() {
        current.key.erase(current.key.find_last_not_of(" \t") + 1);
        if (trailingBlanks != std::string::npos) {
            current.value.erase(trailingBlanks);
        }
        found.push_back(current);
        state = State::BeforeKey;
    }

    void end() {
        current.quoteOpen = state == State::Single || state == State::Double || state == State::DoubleEscape;
        if (state != State::BeforeKey && state != State::Comment) {
            finish();
        }
    }

    State state = State::BeforeKey;
    Statement current;
    size_t line = 1;
    size_t trailingBlanks = std::string::npos; // where the unquoted blanks at the value's end begin
    std::vector<Statement> found;
};

// Line ends as DOS, old Macs and everyone else write them, all as '\n', without a byte-order
// mark, which some editors put first.
std::string normalised(const std::string& written) {
    std::string text;
    for (size_t i = written.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; i < written.size(); ++i) {
        if (written[i] == '\r') {
            text += '\n';
            i += i + 1 < written.size() && written[i + 1] == '\n' ? 1 : 0;
        } else {
            text += written[i];
        }
    }
    return text;
}

// The variable name the key sets: "export NAME" sets NAME, as in a shell.
std::string variableOf(const std::string& key) {
    const size_t name = key.find_first_not_of(" \t", 6);
    return key.compare(0, 6, "export") == 0 && key.size() > 6 && blank(key[6]) && name != std::string::npos
               ? key.substr(name)
               : key;
}

// A name systemd takes: anything else it ignores.
bool isVariableName(const std::string& name) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    return !name.empty() && letter(name[0]) &&
           std::all_of(name.begin(), name.end(), [&letter](char c) { return letter(c) || (c >= '0' && c <= '9'); });
}

// The words as the command line would get them: split at blanks, as a shell splits them.
std::vector<std::string> wordsOf(const std::string& value) {
    static const char* const BLANKS = " \t\n\v\f\r";
    std::vector<std::string> words;
    for (size_t start = value.find_first_not_of(BLANKS); start != std::string::npos;) {
        const size_t end = value.find_first_of(BLANKS, start);
        words.push_back(value.substr(start, end - start));
        start = value.find_first_not_of(BLANKS, end);
    }
    return words;
}

ReadSettings refused(FileFault::Why why, size_t line = 0) {
    return {std::nullopt, FileFault{why, line, {}, {}}};
}

// Where VORLIXD_OPTIONS went into another variable's value as a line or an assignment of its own:
// at the start of a later line the value carried on to, or followed by '=' on the first.
size_t assignmentInside(const std::string& text) {
    const size_t firstLineEnd = std::min(text.find('\n'), text.size());
    for (size_t at = text.find(VARIABLE, text.find('=')); at != std::string::npos; at = text.find(VARIABLE, at + 1)) {
        const size_t next = text.find_first_not_of(" \t", at + VARIABLE.size());
        if (at > firstLineEnd || (next != std::string::npos && text[next] == '=')) {
            return at;
        }
    }
    return std::string::npos;
}

// What a statement says about VORLIXD_OPTIONS that cannot be read, if anything: one that names it
// but that systemd would not take as an assignment (no '=', a key that is no name, a quote left
// open), or an assignment of it that went into another variable's value.
std::optional<ReadSettings> unreadable(const Statement& statement) {
    const size_t named = statement.text.find(VARIABLE);
    if (named == std::string::npos) {
        return std::nullopt;
    }
    const std::string name = variableOf(statement.key);
    const auto lineOf = [&statement](size_t at) {
        return statement.line + std::count(statement.text.begin(), statement.text.begin() + at, '\n');
    };
    if (statement.quoteOpen) {
        return refused(FileFault::Why::QuoteOpen, statement.line);
    }
    if (!statement.assigns || !isVariableName(name)) {
        return refused(FileFault::Why::NamedNotAssigned, lineOf(named));
    }
    const size_t inside = name != VARIABLE ? assignmentInside(statement.text) : std::string::npos;
    if (inside != std::string::npos) {
        return refused(FileFault::Why::InsideOtherValue, lineOf(inside));
    }
    return std::nullopt;
}

} // namespace

std::string AdministratorSettings::filePath() {
    const char* path = std::getenv("VORLIXD_DEFAULTS_FILE");
    return path != nullptr ? path : VORLIXD_DEFAULTS_FILE;
}

// Only a regular file is read, never waited for, and read to its end or past the limit.
ReadSettings AdministratorSettings::read(const std::string& path) {
    const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) {
        return errno == ENOENT ? ReadSettings() : refused(FileFault::Why::CannotRead);
    }
    struct stat status {};
    const bool regular = fstat(file, &status) == 0 && S_ISREG(status.st_mode);
    std::string text;
    ssize_t length = 1;
    for (char buffer[4096]; regular && length != 0 && text.size() <= LONGEST_FILE;) {
        length = ::read(file, buffer, sizeof buffer);
        if (length < 0 && errno != EINTR) {
            break;
        }
        text.append(buffer, static_cast<size_t>(std::max<ssize_t>(length, 0)));
    }
    close(file);
    if (!regular) {
        return refused(FileFault::Why::NotRegular);
    }
    if (length < 0) {
        return refused(FileFault::Why::CannotRead);
    }
    return fromText(text);
}

ReadSettings AdministratorSettings::fromText(const std::string& written) {
    if (written.size() > LONGEST_FILE) {
        return refused(FileFault::Why::TooLarge);
    }
    // systemd refuses a NUL byte anywhere in an environment file.
    const std::string text = normalised(written);
    if (const size_t nul = text.find('\0'); nul != std::string::npos) {
        return refused(FileFault::Why::NulByte, 1 + std::count(text.begin(), text.begin() + nul, '\n'));
    }
    std::optional<Statement> assignment;
    for (const Statement& statement : StatementReader::statements(text)) {
        if (const std::optional<ReadSettings> fault = unreadable(statement)) {
            return *fault;
        }
        if (statement.assigns && variableOf(statement.key) == VARIABLE) {
            assignment = statement;
        }
    }
    if (!assignment) {
        return {};
    }
    // A word that is not UTF-8 spoils the whole line, as it would the command line.
    std::vector<std::wstring> words;
    for (const std::string& word : wordsOf(assignment->value)) {
        const std::optional<std::wstring> decoded = Utf8::decode(word);
        if (!decoded) {
            return {std::nullopt, FileFault{FileFault::Why::NotUtf8, assignment->line, {}, word}};
        }
        words.push_back(*decoded);
    }
    if (words.empty()) {
        return {};
    }
    try {
        return {MouseSettings::fromOptions(words), std::nullopt};
    } catch (const CLIException&) {
        return {std::nullopt, FileFault{FileFault::Why::OptionsRefused, assignment->line, words, {}}};
    }
}
