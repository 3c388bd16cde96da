// The launcher's message file, read the way the build reads it.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

namespace zor::test {

// (language, id) -> UTF-8 text.
inline std::map<std::pair<int, int>, std::string> messageFile() {
    std::map<std::pair<int, int>, std::string> messages;
    std::ifstream in(std::string(ZOR_SOURCE_DIR) + "/launcher/messages.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        int language = 0, id = 0;
        fields >> language >> id;
        std::string text;
        std::getline(fields >> std::ws, text);
        messages[{language, id}] = text;
    }
    return messages;
}

} // namespace zor::test
