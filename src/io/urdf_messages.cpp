// urdfdom's parse and its messages. urdfdom reports problems through
// console_bridge, which prints them to stderr by default. While a load runs
// on a thread, the messages that thread causes are kept for the error
// instead; every other message goes on to the handler that was installed
// before.

#include <console_bridge/console.h>
#include <urdf_parser/urdf_parser.h>

#include <atomic>
#include <cctype>
#include <mutex>
#include <string>
#include <vector>

#include "io/urdf_detail.hpp"

namespace armkin::urdf_io {

namespace {

thread_local std::vector<std::string>* tMessages = nullptr;

class MessageCatcher final : public console_bridge::OutputHandler {
public:
    void log(const std::string& text, console_bridge::LogLevel level, const char* filename,
             int line) override {
        if (tMessages) {
            if (level >= console_bridge::CONSOLE_BRIDGE_LOG_ERROR && tMessages->size() < 4)
                tMessages->push_back(text);
            return;
        }
        if (OutputHandler* next = previous.load()) next->log(text, level, filename, line);
    }
    std::atomic<console_bridge::OutputHandler*> previous{nullptr};
};

//! Installs the catcher in front of whatever handler is current. Never
//! destroyed: console_bridge may hold the pointer until the process ends.
void installCatcher() {
    static MessageCatcher* const catcher = new MessageCatcher;
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    console_bridge::OutputHandler* current = console_bridge::getOutputHandler();
    if (current != catcher) {
        catcher->previous.store(current);
        console_bridge::useOutputHandler(catcher);
    }
}

//! Keeps the calling thread's urdfdom messages for the lifetime of the object.
class MessageScope {
public:
    explicit MessageScope(std::vector<std::string>& into) : saved_(tMessages) {
        installCatcher();
        tMessages = &into;
    }
    ~MessageScope() { tMessages = saved_; }
    MessageScope(const MessageScope&) = delete;
    MessageScope& operator=(const MessageScope&) = delete;

private:
    std::vector<std::string>* saved_;
};

//! One message on one line, at most 200 bytes of it.
std::string oneLine(const std::string& message) {
    std::string m = message.substr(0, 200);
    for (char& c : m) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return m;
}

//! The line of the first joint or link the message names that the file
//! has: "... for joint [j3]", "... for joint  [j3]", "... for Link [tool]".
//! 0 when it names none.
int namedLine(const std::string& text, const XmlTree& tree) {
    for (std::size_t open = text.find('['); open != std::string::npos; open = text.find('[', open + 1)) {
        std::size_t e = open;
        while (e > 0 && text[e - 1] == ' ') --e;
        std::size_t b = e;
        while (b > 0 && std::isalpha(static_cast<unsigned char>(text[b - 1]))) --b;
        std::string word = text.substr(b, e - b);
        for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::size_t close = text.find(']', open);
        if (close == std::string::npos || (word != "joint" && word != "link")) continue;
        const std::string name = text.substr(open + 1, close - open - 1);
        if (const int line = word == "joint" ? jointLine(tree, name) : linkLine(tree, name)) return line;
    }
    return 0;
}

}  // namespace

urdf::ModelInterfaceSharedPtr parseModel(std::string_view xml, std::vector<std::string>& messages) {
    MessageScope scope(messages);
    return urdf::parseURDF(std::string(xml));
}

void urdfdomRefusal(const std::vector<std::string>& messages, const XmlTree& tree,
                    const std::string& source, LoadError& error) {
    std::string reason = "the URDF reader refused the file";
    int line = 0;
    for (std::size_t k = 0; k < messages.size() && k < 2; ++k) {
        reason += k ? "; " : ": ";
        reason += oneLine(messages[k]);
        if (!line) line = namedLine(messages[k], tree);
    }
    error = {source, line, reason};
}

}  // namespace armkin::urdf_io
