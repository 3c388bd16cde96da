#include "packer/manifest.h"

#include <expat.h>

#include <climits>
#include <memory>

namespace zor::pack {

namespace {

// With a namespace separator, expat names each element "namespace<separator>local name".
constexpr char SEPARATOR = '\x01';
const std::string ASSEMBLY =
    std::string("urn:schemas-microsoft-com:asm.v1") + SEPARATOR + "assembly";

// Keeps the name of the first element, the root; element names are never empty.
void XMLCALL startElement(void* root, const XML_Char* name, const XML_Char**) {
    if (static_cast<std::string*>(root)->empty())
        *static_cast<std::string*>(root) = name;
}

} // namespace

void checkManifest(const Bytes& xml, const std::string& file) {
    if (xml.size() > size_t(INT_MAX))
        throw PackError("the manifest " + file + " is too large");
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(
        XML_ParserCreateNS(nullptr, SEPARATOR), XML_ParserFree);
    if (!parser)
        throw PackError("cannot check the manifest " + file + ": out of memory");
    std::string root;
    XML_SetUserData(parser.get(), &root);
    XML_SetStartElementHandler(parser.get(), startElement);
    if (XML_Parse(parser.get(), reinterpret_cast<const char*>(xml.data()), int(xml.size()),
                  XML_TRUE) != XML_STATUS_OK)
        throw PackError("the manifest " + file + " is not well-formed XML: " +
                        XML_ErrorString(XML_GetErrorCode(parser.get())) + " at line " +
                        std::to_string(XML_GetCurrentLineNumber(parser.get())) + ", column " +
                        std::to_string(XML_GetCurrentColumnNumber(parser.get()) + 1));
    if (root != ASSEMBLY) {
        size_t separator = root.find(SEPARATOR);
        std::string shown = separator == std::string::npos ? root
                                                           : "{" + root.substr(0, separator) + "}" +
                                                                 root.substr(separator + 1);
        throw PackError("the manifest " + file + " is not an application manifest: its root is <" +
                        shown + ">, not <assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\">");
    }
}

} // namespace zor::pack
