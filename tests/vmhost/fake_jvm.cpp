// A test double of the Java runtime's VM library. JNI_CreateJavaVM records what it receives
// into the file named by ZOR_FAKE_JVM_LOG and returns ZOR_FAKE_JVM_RESULT (default -1). On
// success it hands out a VM and an environment that act out just enough of java.lang.System
// and of one main class for the launcher's calls, recording them as well:
//   ZOR_FAKE_JVM_VERSION   "java.vm.version" (unset: the property is not set)
//   ZOR_FAKE_JVM_SPECIFICATION "java.specification.version" (unset: not set)
//   ZOR_FAKE_JVM_NO_SYSTEM java.lang.System cannot be found
//   ZOR_FAKE_JVM_PKGS      the earlier value of "java.protocol.handler.pkgs"
//   ZOR_FAKE_JVM_MAIN      the one class FindClass finds besides System and String (a/b/Main)
//   ZOR_FAKE_JVM_NO_MAIN   that class has no static main
//   ZOR_FAKE_JVM_THROW     main ends with an exception
//   ZOR_FAKE_JVM_DPI       Windows: also record the DPI awareness the process runs with and
//                          the DPI settings of its activation context (from its manifest)
//   ZOR_FAKE_JVM_CREATE_MS JNI_CreateJavaVM takes this long (a slow VM start)
//   ZOR_FAKE_JVM_DESTROY_MS DestroyJavaVM takes this long (threads that outlive main)
// Like a runtime with class-data sharing, DestroyJavaVM writes a small archive to the file of
// -XX:ArchiveClassesAtExit or -XX:AOTCacheOutput, or to that of -XX:SharedArchiveFile with
// -XX:+AutoCreateSharedArchive when the file does not exist.
//   ZOR_FAKE_JVM_NATIVES   "CLASS|RESOURCE|URL" (Windows): when the launcher first asks for a
//                          support class, load the program named by -Dzor.app.path as the
//                          class's System.load does, look every native up by the names a VM
//                          of this kind uses and call the loader's findClass(CLASS),
//                          findResource(RESOURCE), findResources(RESOURCE), the handler's
//                          loadResourceData(URL) and the splash screen's getter, recording
//                          what each found and what came back. For findClass the double
//                          plays the class library's File, URI, CodeSource, ProtectionDomain,
//                          ByteArrayInputStream, Manifest and Attributes with stand-ins, and
//                          records each package defined (with its manifest attributes) and
//                          the code source location of each class defined.
// Any JNI function the double does not act out is recorded as unexpected; on 32-bit Windows
// the process then ends, since a stdcall function with the wrong arguments cannot return.
#include <jni.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Read the way the launcher writes the environment (SetEnvironmentVariableA on Windows).
bool readEnv(const char* name, std::string& value) {
#ifdef _WIN32
    char buffer[4096];
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return false;
    value.assign(buffer, n < sizeof(buffer) ? n : 0);
    return true;
#else
    const char* v = std::getenv(name);
    if (!v)
        return false;
    value = v;
    return true;
#endif
}

bool isSet(const char* name) {
    std::string v;
    return readEnv(name, v) && !v.empty();
}

void record(const std::string& line) {
    std::string path;
    if (!readEnv("ZOR_FAKE_JVM_LOG", path) || path.empty())
        return;
    if (FILE* f = std::fopen(path.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

// Handles are small integers; strings are indexes into a pool (offset by STRING_BASE).
jclass const SYSTEM = reinterpret_cast<jclass>(0x10);
jclass const STRING_CLASS = reinterpret_cast<jclass>(0x11);
jclass const MAIN_CLASS = reinterpret_cast<jclass>(0x12);
jclass const OTHER_CLASS = reinterpret_cast<jclass>(0x13);
jclass const LOADER_CLASS = reinterpret_cast<jclass>(0x14);
jclass const HANDLER_CLASS = reinterpret_cast<jclass>(0x15);
jclass const URL_CLASS = reinterpret_cast<jclass>(0x16);
jclass const VECTOR_CLASS = reinterpret_cast<jclass>(0x17);
[[maybe_unused]] jclass const SPLASH_CLASS = reinterpret_cast<jclass>(0x18);
jclass const CLASS_LOADER = reinterpret_cast<jclass>(0x40); // java.lang.ClassLoader
jclass const FILE_CLASS = reinterpret_cast<jclass>(0x41);
jclass const URI_CLASS = reinterpret_cast<jclass>(0x42);
jclass const CODE_SOURCE_CLASS = reinterpret_cast<jclass>(0x43);
jclass const DOMAIN_CLASS = reinterpret_cast<jclass>(0x44);
jclass const STREAM_CLASS = reinterpret_cast<jclass>(0x45);
jclass const MANIFEST_CLASS = reinterpret_cast<jclass>(0x46);
jclass const ATTRIBUTES_CLASS = reinterpret_cast<jclass>(0x47);
jclass const ATTRIBUTE_NAME_CLASS = reinterpret_cast<jclass>(0x48); // java.util.jar.Attributes$Name
jmethodID const GET_PROPERTY = reinterpret_cast<jmethodID>(0x20);
jmethodID const SET_PROPERTY = reinterpret_cast<jmethodID>(0x21);
jmethodID const MAIN = reinterpret_cast<jmethodID>(0x22);
jmethodID const DEFINE_CLASS = reinterpret_cast<jmethodID>(0x23);
jmethodID const CONSTRUCTOR = reinterpret_cast<jmethodID>(0x24);
jmethodID const VECTOR_ADD = reinterpret_cast<jmethodID>(0x25);
jmethodID const VECTOR_ELEMENTS = reinterpret_cast<jmethodID>(0x26);
jmethodID const TO_URI = reinterpret_cast<jmethodID>(0x50);
jmethodID const TO_URL = reinterpret_cast<jmethodID>(0x51);
jmethodID const GET_DEFINED_PACKAGE = reinterpret_cast<jmethodID>(0x52);
jmethodID const DEFINE_PACKAGE = reinterpret_cast<jmethodID>(0x53);
jmethodID const GET_MAIN_ATTRIBUTES = reinterpret_cast<jmethodID>(0x54);
jmethodID const GET_ATTRIBUTES = reinterpret_cast<jmethodID>(0x55);
jmethodID const GET_VALUE = reinterpret_cast<jmethodID>(0x56);
jobjectArray const ARRAY = reinterpret_cast<jobjectArray>(0x30);
jthrowable const THROWABLE = reinterpret_cast<jthrowable>(0x31);
jobject const LOADER = reinterpret_cast<jobject>(0x32);
jobject const HANDLER = reinterpret_cast<jobject>(0x33);
jobject const VECTOR = reinterpret_cast<jobject>(0x34);
jobject const ENUMERATION = reinterpret_cast<jobject>(0x35);
jclass const DEFINED_CLASS = reinterpret_cast<jclass>(0x36);
jobject const PACKAGE = reinterpret_cast<jobject>(0x37);
constexpr uintptr_t STRING_BASE = 0x1000;
constexpr uintptr_t BYTES_BASE = 0x100000;
constexpr uintptr_t STAND_BASE = 0x200000;

std::vector<std::u16string> strings;
std::u16string handlerPackages;
bool handlerPackagesSet = false;
bool pending = false;
std::string archiveAtExit;

jstring makeString(const std::u16string& text) {
    strings.push_back(text);
    return reinterpret_cast<jstring>(STRING_BASE + strings.size() - 1);
}
const std::u16string* stringOf(jobject handle) {
    uintptr_t at = reinterpret_cast<uintptr_t>(handle);
    if (at < STRING_BASE || at - STRING_BASE >= strings.size())
        return nullptr;
    return &strings[at - STRING_BASE];
}
std::u16string widen(const char* ascii) {
    return std::u16string(ascii, ascii + std::strlen(ascii));
}
std::string narrowAscii(const std::u16string& text) {
    std::string out;
    for (char16_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}
std::string hexUnits(const std::u16string& text) {
    std::string out;
    char unit[8];
    for (char16_t c : text) {
        std::snprintf(unit, sizeof(unit), " %04x", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

std::vector<std::vector<jbyte>> byteArrays;
std::vector<std::string> vectorItems;
std::string programPath; // -Dzor.app.path
bool nativesCalled = false;
bool answeringNatives = false;

std::vector<jbyte>* bytesOf(jobject handle) {
    uintptr_t at = reinterpret_cast<uintptr_t>(handle);
    if (at < BYTES_BASE || at - BYTES_BASE >= byteArrays.size())
        return nullptr;
    return &byteArrays[at - BYTES_BASE];
}

// An object of the class library the natives make and use; a URL is represented by its text
// (a string), as for the resource URLs.
using Attributes = std::vector<std::pair<std::string, std::string>>;
struct Section {
    std::string name; // empty for the main section
    Attributes values;
};
struct Stand {
    jclass kind;
    std::u16string text;      // File: its path; URI: its text
    jobject first = nullptr;  // CodeSource: location; ProtectionDomain: code source; stream: bytes
    jobject second = nullptr; // ProtectionDomain: class loader
    std::vector<Section> sections; // Manifest: main section first; Attributes: one
};
std::vector<Stand> stands;
std::vector<std::string> definedPackages;
int localFrames = 0;

jobject makeStand(jclass kind, std::u16string text = {}, jobject first = nullptr,
                  jobject second = nullptr, std::vector<Section> sections = {}) {
    stands.push_back(Stand{kind, std::move(text), first, second, std::move(sections)});
    return reinterpret_cast<jobject>(STAND_BASE + stands.size() - 1);
}
Stand* standOf(jobject handle, jclass kind) {
    uintptr_t at = reinterpret_cast<uintptr_t>(handle);
    if (at < STAND_BASE || at - STAND_BASE >= stands.size() || stands[at - STAND_BASE].kind != kind)
        return nullptr;
    return &stands[at - STAND_BASE];
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Manifest(InputStream) for well-formed manifests: "Name: value" headers, continuation lines
// starting with a space, sections apart by blank lines and named by their "Name" header.
std::vector<Section> parseManifest(const std::vector<jbyte>& bytes) {
    std::vector<Section> sections(1);
    std::string text(bytes.begin(), bytes.end());
    std::string* last = nullptr;
    bool sectionEnded = false;
    for (size_t begin = 0; begin < text.size();) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty()) {
            sectionEnded = true;
            last = nullptr;
            continue;
        }
        if (line[0] == ' ' && last) {
            *last += line.substr(1);
            continue;
        }
        size_t colon = line.find(": ");
        if (colon == std::string::npos) {
            record("unexpected manifest line " + line);
            continue;
        }
        std::string name = line.substr(0, colon);
        if (sectionEnded) {
            sections.emplace_back();
            sectionEnded = false;
            if (sameIgnoringCase(name, "Name")) {
                sections.back().name = line.substr(colon + 2);
                last = &sections.back().name;
                continue;
            }
        }
        sections.back().values.emplace_back(name, line.substr(colon + 2));
        last = &sections.back().values.back().second;
    }
    return sections;
}

// File.toURI().toURL() of an absolute Windows path, for the plain paths the tests use.
std::u16string fileUrl(const std::u16string& path) {
    std::u16string url = u"file:";
    if (path.empty() || (path[0] != u'\\' && path[0] != u'/'))
        url += u'/';
    for (char16_t c : path)
        url += c == u'\\'  ? std::u16string(u"/")
               : c == u' ' ? std::u16string(u"%20")
                           : std::u16string(1, c);
    return url;
}

// "domain LOCATION" for a protection domain of the loader defining the class.
std::string describeDomain(jobject domain) {
    Stand* stand = standOf(domain, DOMAIN_CLASS);
    if (!stand)
        return "no domain";
    Stand* source = standOf(stand->first, CODE_SOURCE_CLASS);
    const std::u16string* location = source ? stringOf(source->first) : nullptr;
    std::string text = "domain " + (location ? narrowAscii(*location) : "without location");
    return stand->second == LOADER ? text : text + " of another loader";
}

// Stands in for every slot the double does not act out: the call is recorded, and on 32-bit
// Windows the process ends, since a stdcall function that takes no arguments would return
// with the caller's arguments still on the stack.
template <int Table, size_t Slot> void* JNICALL unexpected() {
    record("unexpected JNI function " + std::to_string(Table) + ":" + std::to_string(Slot));
#if defined(_WIN32) && !defined(_WIN64)
    std::_Exit(99);
#endif
    return nullptr;
}
template <int Table, size_t... Slots>
void fillUnexpected(void** slots, std::index_sequence<Slots...>) {
    ((slots[Slots] = reinterpret_cast<void*>(&unexpected<Table, Slots>)), ...);
}

#ifdef _WIN32
void callNatives();
#endif

jclass JNICALL findClass(JNIEnv*, const char* name) {
    record(std::string("FindClass ") + name);
#ifdef _WIN32
    // Initialising a support class loads the program (System.load of zor.app.path); the
    // natives are then looked up and called once.
    if (!nativesCalled && !answeringNatives && std::strncmp(name, "com/tarnwick/zor/", 17) == 0 &&
        isSet("ZOR_FAKE_JVM_NATIVES")) {
        nativesCalled = true;
        callNatives();
    }
#endif
    // What only the natives ask for; the launcher's own lookups see these classes missing.
    if (answeringNatives) {
        if (std::strcmp(name, "com/tarnwick/zor/Handler") == 0)
            return HANDLER_CLASS;
        if (std::strcmp(name, "java/net/URL") == 0)
            return URL_CLASS;
        if (std::strcmp(name, "java/util/Vector") == 0)
            return VECTOR_CLASS;
        static const std::pair<const char*, jclass> library[] = {
            {"java/lang/ClassLoader", CLASS_LOADER},
            {"java/io/File", FILE_CLASS},
            {"java/net/URI", URI_CLASS},
            {"java/security/CodeSource", CODE_SOURCE_CLASS},
            {"java/security/ProtectionDomain", DOMAIN_CLASS},
            {"java/io/ByteArrayInputStream", STREAM_CLASS},
            {"java/util/jar/Manifest", MANIFEST_CLASS},
            {"java/util/jar/Attributes", ATTRIBUTES_CLASS},
            {"java/util/jar/Attributes$Name", ATTRIBUTE_NAME_CLASS},
        };
        for (const auto& known : library) {
            if (std::strcmp(name, known.first) == 0)
                return known.second;
        }
    }
    std::string mainClass;
    if (std::strcmp(name, "java/lang/System") == 0)
        return isSet("ZOR_FAKE_JVM_NO_SYSTEM") ? nullptr : SYSTEM;
    if (std::strcmp(name, "java/lang/String") == 0)
        return STRING_CLASS;
    if (readEnv("ZOR_FAKE_JVM_MAIN", mainClass) && mainClass == name)
        return MAIN_CLASS;
    if (std::strcmp(name, "zor/test/Other") == 0)
        return OTHER_CLASS;
    return nullptr;
}

struct MethodEntry {
    jclass cls;
    const char* name;
    const char* sig;
    jmethodID id;
};
// Methods of ClassLoader are found through the launcher's loader class too, as inherited.
const MethodEntry LIBRARY_METHODS[] = {
    {CLASS_LOADER, "defineClass",
     "(Ljava/lang/String;[BIILjava/security/ProtectionDomain;)Ljava/lang/Class;", DEFINE_CLASS},
    {CLASS_LOADER, "getDefinedPackage", "(Ljava/lang/String;)Ljava/lang/Package;",
     GET_DEFINED_PACKAGE},
    {CLASS_LOADER, "definePackage",
     "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;"
     "Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/net/URL;)Ljava/lang/Package;",
     DEFINE_PACKAGE},
    {FILE_CLASS, "<init>", "(Ljava/lang/String;)V", CONSTRUCTOR},
    {FILE_CLASS, "toURI", "()Ljava/net/URI;", TO_URI},
    {URI_CLASS, "toURL", "()Ljava/net/URL;", TO_URL},
    {CODE_SOURCE_CLASS, "<init>", "(Ljava/net/URL;[Ljava/security/cert/Certificate;)V",
     CONSTRUCTOR},
    {DOMAIN_CLASS, "<init>",
     "(Ljava/security/CodeSource;Ljava/security/PermissionCollection;Ljava/lang/ClassLoader;"
     "[Ljava/security/Principal;)V",
     CONSTRUCTOR},
    {STREAM_CLASS, "<init>", "([B)V", CONSTRUCTOR},
    {MANIFEST_CLASS, "<init>", "(Ljava/io/InputStream;)V", CONSTRUCTOR},
    {MANIFEST_CLASS, "getMainAttributes", "()Ljava/util/jar/Attributes;", GET_MAIN_ATTRIBUTES},
    {MANIFEST_CLASS, "getAttributes", "(Ljava/lang/String;)Ljava/util/jar/Attributes;",
     GET_ATTRIBUTES},
    {ATTRIBUTES_CLASS, "getValue", "(Ljava/util/jar/Attributes$Name;)Ljava/lang/String;",
     GET_VALUE},
};

jmethodID JNICALL getMethodId(JNIEnv*, jclass cls, const char* name, const char* sig) {
    for (const MethodEntry& method : LIBRARY_METHODS) {
        bool inherited = method.cls == CLASS_LOADER && cls == LOADER_CLASS;
        if ((method.cls == cls || inherited) && std::strcmp(name, method.name) == 0 &&
            std::strcmp(sig, method.sig) == 0)
            return method.id;
    }
    if ((cls == HANDLER_CLASS || cls == VECTOR_CLASS) && std::strcmp(name, "<init>") == 0 &&
        std::strcmp(sig, "()V") == 0)
        return CONSTRUCTOR;
    if (cls == URL_CLASS && std::strcmp(name, "<init>") == 0 &&
        std::strcmp(sig, "(Ljava/net/URL;Ljava/lang/String;Ljava/net/URLStreamHandler;)V") == 0)
        return CONSTRUCTOR;
    if (cls == VECTOR_CLASS && std::strcmp(name, "add") == 0)
        return VECTOR_ADD;
    if (cls == VECTOR_CLASS && std::strcmp(name, "elements") == 0)
        return VECTOR_ELEMENTS;
    return nullptr;
}

jclass JNICALL getObjectClass(JNIEnv*, jobject object) {
    if (object == LOADER)
        return LOADER_CLASS;
    if (object == HANDLER)
        return HANDLER_CLASS;
    uintptr_t at = reinterpret_cast<uintptr_t>(object);
    if (at >= STAND_BASE && at - STAND_BASE < stands.size())
        return stands[at - STAND_BASE].kind;
    return nullptr;
}

jobject JNICALL newObjectV(JNIEnv*, jclass cls, jmethodID method, va_list args) {
    if (method != CONSTRUCTOR)
        return nullptr;
    if (cls == HANDLER_CLASS)
        return HANDLER;
    if (cls == VECTOR_CLASS) {
        vectorItems.clear();
        return VECTOR;
    }
    if (cls == URL_CLASS) {
        va_arg(args, jobject); // the context URL
        const std::u16string* urlText = stringOf(va_arg(args, jstring));
        jobject handler = va_arg(args, jobject);
        // A URL is represented by its text; only the launcher's own handler is expected.
        return urlText && handler == HANDLER ? makeString(*urlText) : nullptr;
    }
    if (cls == FILE_CLASS) {
        const std::u16string* path = stringOf(va_arg(args, jstring));
        return path ? makeStand(FILE_CLASS, *path) : nullptr;
    }
    if (cls == CODE_SOURCE_CLASS) {
        jobject location = va_arg(args, jobject);
        if (location && !stringOf(location))
            return nullptr;
        jobject certificates = va_arg(args, jobject);
        return certificates ? nullptr : makeStand(CODE_SOURCE_CLASS, u"", location);
    }
    if (cls == DOMAIN_CLASS) {
        jobject source = va_arg(args, jobject);
        jobject permissions = va_arg(args, jobject);
        jobject loader = va_arg(args, jobject);
        jobject principals = va_arg(args, jobject);
        // Only the form whose permissions the security policy decides, as a class loader's.
        if (!standOf(source, CODE_SOURCE_CLASS) || permissions || principals)
            return nullptr;
        return makeStand(DOMAIN_CLASS, u"", source, loader);
    }
    if (cls == STREAM_CLASS) {
        jobject bytes = va_arg(args, jobject);
        return bytesOf(bytes) ? makeStand(STREAM_CLASS, u"", bytes) : nullptr;
    }
    if (cls == MANIFEST_CLASS) {
        Stand* stream = standOf(va_arg(args, jobject), STREAM_CLASS);
        if (!stream)
            return nullptr;
        return makeStand(MANIFEST_CLASS, u"", nullptr, nullptr,
                         parseManifest(*bytesOf(stream->first)));
    }
    return nullptr;
}

jobject JNICALL newGlobalRef(JNIEnv*, jobject object) {
    return object;
}
jobject JNICALL newLocalRef(JNIEnv*, jobject object) {
    return object;
}
jweak JNICALL newWeakGlobalRef(JNIEnv*, jobject object) {
    return object;
}
void JNICALL deleteWeakGlobalRef(JNIEnv*, jweak) {}
jboolean JNICALL isSameObject(JNIEnv*, jobject a, jobject b) {
    return a == b ? JNI_TRUE : JNI_FALSE;
}
// References live as long as the double; frames are only counted, to find one left open.
jint JNICALL pushLocalFrame(JNIEnv*, jint) {
    ++localFrames;
    return JNI_OK;
}
jobject JNICALL popLocalFrame(JNIEnv*, jobject result) {
    if (localFrames == 0)
        record("unexpected PopLocalFrame without a frame");
    else
        --localFrames;
    return result;
}
void JNICALL deleteLocalRef(JNIEnv*, jobject) {}
void JNICALL releaseStringChars(JNIEnv*, jstring, const jchar*) {}
jboolean JNICALL exceptionCheck(JNIEnv*);

jbyteArray JNICALL newByteArray(JNIEnv*, jsize length) {
    byteArrays.emplace_back(static_cast<size_t>(length));
    return reinterpret_cast<jbyteArray>(BYTES_BASE + byteArrays.size() - 1);
}
jsize JNICALL getArrayLength(JNIEnv*, jarray array) {
    std::vector<jbyte>* bytes = bytesOf(array);
    return bytes ? static_cast<jsize>(bytes->size()) : 0;
}
jbyte* JNICALL getByteArrayElements(JNIEnv*, jbyteArray array, jboolean* isCopy) {
    static jbyte none;
    if (isCopy)
        *isCopy = JNI_FALSE;
    std::vector<jbyte>* bytes = bytesOf(array);
    return !bytes ? nullptr : bytes->empty() ? &none : bytes->data();
}
void JNICALL releaseByteArrayElements(JNIEnv*, jbyteArray, jbyte*, jint) {}
void JNICALL setByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length,
                                const jbyte* from) {
    std::vector<jbyte>* bytes = bytesOf(array);
    if (!bytes || start < 0 || length < 0 || static_cast<size_t>(start) + length > bytes->size())
        record("unexpected SetByteArrayRegion out of bounds");
    else
        std::copy(from, from + length, bytes->begin() + start);
}

std::string describeBytes(const std::vector<jbyte>& bytes) {
    std::string out = std::to_string(bytes.size()) + " bytes ";
    char hex[4];
    for (size_t i = 0; i < bytes.size() && i < 4; ++i) {
        std::snprintf(hex, sizeof(hex), "%02x", static_cast<unsigned>(bytes[i] & 0xFF));
        out += hex;
    }
    return out;
}

jobject definePackage(va_list args) {
    const std::u16string* name = stringOf(va_arg(args, jstring));
    std::string line = "definePackage " + (name ? narrowAscii(*name) : "null");
    // Title, version and vendor of the API the package provides, then of its implementation.
    for (int i = 0; i < 6; ++i) {
        const std::u16string* value = stringOf(va_arg(args, jstring));
        line += (i ? "|" : " ") + (value ? narrowAscii(*value) : "null");
    }
    const std::u16string* sealBase = stringOf(va_arg(args, jobject));
    line += " sealBase " + (sealBase ? narrowAscii(*sealBase) : "null");
    if (!name)
        return nullptr;
    // The class library refuses a second definition (IllegalArgumentException).
    for (const std::string& defined : definedPackages) {
        if (defined == narrowAscii(*name)) {
            record("unexpected second " + line);
            return nullptr;
        }
    }
    definedPackages.push_back(narrowAscii(*name));
    record(line);
    return PACKAGE;
}

jobject attributeValue(const Stand& attributes, const std::u16string& name) {
    for (const auto& value : attributes.sections[0].values) {
        if (sameIgnoringCase(value.first, narrowAscii(name)))
            return makeString(widen(value.second.c_str()));
    }
    return nullptr;
}

jobject JNICALL callObjectMethodV(JNIEnv*, jobject object, jmethodID method, va_list args) {
    if (object == LOADER && method == DEFINE_CLASS) {
        const std::u16string* name = stringOf(va_arg(args, jstring));
        std::vector<jbyte>* bytes = bytesOf(va_arg(args, jbyteArray));
        jint offset = va_arg(args, jint);
        jint length = va_arg(args, jint);
        jobject domain = va_arg(args, jobject);
        if (!name || !bytes || offset != 0 || length != static_cast<jint>(bytes->size()))
            return nullptr;
        record("defineClass " + narrowAscii(*name) + " " + describeBytes(*bytes) + " " +
               describeDomain(domain));
        return DEFINED_CLASS;
    }
    if (object == LOADER && method == GET_DEFINED_PACKAGE) {
        const std::u16string* name = stringOf(va_arg(args, jstring));
        for (const std::string& defined : definedPackages) {
            if (name && defined == narrowAscii(*name))
                return PACKAGE;
        }
        return nullptr;
    }
    if (object == LOADER && method == DEFINE_PACKAGE)
        return definePackage(args);
    if (object == VECTOR && method == VECTOR_ELEMENTS)
        return ENUMERATION;
    if (Stand* file = method == TO_URI ? standOf(object, FILE_CLASS) : nullptr)
        return makeStand(URI_CLASS, fileUrl(file->text));
    if (Stand* uri = method == TO_URL ? standOf(object, URI_CLASS) : nullptr)
        return makeString(uri->text);
    if (Stand* manifest = standOf(object, MANIFEST_CLASS)) {
        if (method == GET_MAIN_ATTRIBUTES)
            return makeStand(ATTRIBUTES_CLASS, u"", nullptr, nullptr, {manifest->sections[0]});
        const std::u16string* name =
            method == GET_ATTRIBUTES ? stringOf(va_arg(args, jstring)) : nullptr;
        for (size_t i = 1; name && i < manifest->sections.size(); ++i) {
            if (manifest->sections[i].name == narrowAscii(*name))
                return makeStand(ATTRIBUTES_CLASS, u"", nullptr, nullptr, {manifest->sections[i]});
        }
        return nullptr;
    }
    if (Stand* attributes = method == GET_VALUE ? standOf(object, ATTRIBUTES_CLASS) : nullptr) {
        const std::u16string* name = stringOf(va_arg(args, jstring));
        return name ? attributeValue(*attributes, *name) : nullptr;
    }
    return nullptr;
}

jboolean JNICALL callBooleanMethodV(JNIEnv*, jobject object, jmethodID method, va_list args) {
    if (object != VECTOR || method != VECTOR_ADD)
        return JNI_FALSE;
    const std::u16string* url = stringOf(va_arg(args, jobject));
    vectorItems.push_back(url ? narrowAscii(*url) : "null");
    return JNI_TRUE;
}

void JNICALL callVoidMethodV(JNIEnv*, jobject, jmethodID, va_list) {}

// The constants of Attributes.Name, each a string of its header name ("IMPLEMENTATION_TITLE"
// is "IMPLEMENTATION-TITLE", which a manifest matches whatever its case). A field id is its
// index in `attributeNames`, plus one.
std::vector<std::string> attributeNames;

jfieldID JNICALL getStaticFieldId(JNIEnv*, jclass cls, const char* name, const char* sig) {
    if (cls != ATTRIBUTE_NAME_CLASS || std::strcmp(sig, "Ljava/util/jar/Attributes$Name;") != 0)
        return nullptr;
    std::string header = name;
    std::replace(header.begin(), header.end(), '_', '-');
    attributeNames.push_back(header);
    return reinterpret_cast<jfieldID>(static_cast<uintptr_t>(attributeNames.size()));
}

jobject JNICALL getStaticObjectField(JNIEnv*, jclass cls, jfieldID field) {
    size_t index = reinterpret_cast<uintptr_t>(field);
    if (cls != ATTRIBUTE_NAME_CLASS || index == 0 || index > attributeNames.size())
        return nullptr;
    return makeString(widen(attributeNames[index - 1].c_str()));
}

jmethodID JNICALL getStaticMethodId(JNIEnv*, jclass cls, const char* name, const char* sig) {
    if (cls == SYSTEM && std::strcmp(name, "getProperty") == 0)
        return GET_PROPERTY;
    if (cls == SYSTEM && std::strcmp(name, "setProperty") == 0)
        return SET_PROPERTY;
    if (cls == MAIN_CLASS && std::strcmp(name, "main") == 0 &&
        std::strcmp(sig, "([Ljava/lang/String;)V") == 0 && !isSet("ZOR_FAKE_JVM_NO_MAIN"))
        return MAIN;
    return nullptr;
}

jstring JNICALL newStringUtf(JNIEnv*, const char* text) {
    return makeString(widen(text));
}
jstring JNICALL newString(JNIEnv*, const jchar* units, jsize length) {
    return makeString(std::u16string(reinterpret_cast<const char16_t*>(units), length));
}
jsize JNICALL getStringLength(JNIEnv*, jstring s) {
    const std::u16string* text = stringOf(s);
    return text ? static_cast<jsize>(text->size()) : 0;
}
const jchar* JNICALL getStringChars(JNIEnv*, jstring s, jboolean*) {
    const std::u16string* text = stringOf(s);
    return text ? reinterpret_cast<const jchar*>(text->c_str()) : nullptr;
}

// The C++ JNIEnv members forward their variadic calls to these va_list forms.
jobject JNICALL callStaticObjectMethodV(JNIEnv*, jclass, jmethodID method, va_list args) {
    const std::u16string* key = stringOf(va_arg(args, jstring));
    const std::u16string* value =
        method == SET_PROPERTY ? stringOf(va_arg(args, jstring)) : nullptr;
    if (!key)
        return nullptr;
    for (auto property :
         {std::make_pair(u"java.vm.version", "ZOR_FAKE_JVM_VERSION"),
          std::make_pair(u"java.specification.version", "ZOR_FAKE_JVM_SPECIFICATION")}) {
        std::string version;
        if (method == GET_PROPERTY && *key == property.first)
            return readEnv(property.second, version) ? makeString(widen(version.c_str())) : nullptr;
    }
    if (method == GET_PROPERTY && *key == u"java.protocol.handler.pkgs")
        return handlerPackagesSet ? makeString(handlerPackages) : nullptr;
    if (method == SET_PROPERTY && value) {
        record("setProperty " + narrowAscii(*key) + "=" + narrowAscii(*value));
        handlerPackages = *value;
        handlerPackagesSet = true;
    }
    return nullptr;
}

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass, jobject) {
    record("NewObjectArray " + std::to_string(length));
    return ARRAY;
}
void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray, jsize index, jobject value) {
    const std::u16string* text = stringOf(value);
    record("arg " + std::to_string(index) + ":" + (text ? hexUnits(*text) : " null"));
}

void JNICALL callStaticVoidMethodV(JNIEnv*, jclass, jmethodID method, va_list args) {
    jobject array = va_arg(args, jobject);
    record(std::string("main ") + (array == ARRAY ? "array" : "other"));
    if (method == MAIN && isSet("ZOR_FAKE_JVM_THROW"))
        pending = true;
}

jthrowable JNICALL exceptionOccurred(JNIEnv*) {
    return pending ? THROWABLE : nullptr;
}
jboolean JNICALL exceptionCheck(JNIEnv*) {
    return pending ? JNI_TRUE : JNI_FALSE;
}
void JNICALL exceptionDescribe(JNIEnv*) {
    record("ExceptionDescribe");
}
void JNICALL exceptionClear(JNIEnv*) {
    pending = false;
}

jint JNICALL registerNatives(JNIEnv*, jclass cls, const JNINativeMethod* methods, jint count) {
    std::string line = "RegisterNatives " + std::to_string(reinterpret_cast<uintptr_t>(cls));
    for (jint i = 0; i < count; ++i)
        line += std::string(" ") + methods[i].name + methods[i].signature;
    record(line);
    return JNI_OK;
}

jint JNICALL detachCurrentThread(JavaVM*) {
    record("DetachCurrentThread");
    return JNI_OK;
}
jint JNICALL destroyJavaVm(JavaVM*) {
    record("DestroyJavaVM");
    std::string wait;
    if (readEnv("ZOR_FAKE_JVM_DESTROY_MS", wait))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(wait.c_str())));
    if (!archiveAtExit.empty()) {
        if (FILE* f = std::fopen(archiveAtExit.c_str(), "wb")) {
            std::fprintf(f, "class-data archive written by the test double\n");
            std::fclose(f);
        }
        archiveAtExit.clear();
    }
    return JNI_OK;
}

JNINativeInterface_ functions;
JNIEnv environment;
JNIInvokeInterface_ invocation;
JavaVM vm;

void buildTables() {
    fillUnexpected<0>(reinterpret_cast<void**>(&functions),
                      std::make_index_sequence<sizeof(functions) / sizeof(void*)>());
    functions.FindClass = findClass;
    functions.GetStaticMethodID = getStaticMethodId;
    functions.GetStaticFieldID = getStaticFieldId;
    functions.GetStaticObjectField = getStaticObjectField;
    functions.NewStringUTF = newStringUtf;
    functions.NewString = newString;
    functions.GetStringLength = getStringLength;
    functions.GetStringChars = getStringChars;
    functions.CallStaticObjectMethodV = callStaticObjectMethodV;
    functions.NewObjectArray = newObjectArray;
    functions.SetObjectArrayElement = setObjectArrayElement;
    functions.CallStaticVoidMethodV = callStaticVoidMethodV;
    functions.ExceptionOccurred = exceptionOccurred;
    functions.ExceptionDescribe = exceptionDescribe;
    functions.ExceptionClear = exceptionClear;
    functions.RegisterNatives = registerNatives;
    functions.GetMethodID = getMethodId;
    functions.GetObjectClass = getObjectClass;
    functions.NewObjectV = newObjectV;
    functions.NewGlobalRef = newGlobalRef;
    functions.NewLocalRef = newLocalRef;
    functions.NewWeakGlobalRef = newWeakGlobalRef;
    functions.DeleteWeakGlobalRef = deleteWeakGlobalRef;
    functions.IsSameObject = isSameObject;
    functions.PushLocalFrame = pushLocalFrame;
    functions.PopLocalFrame = popLocalFrame;
    functions.SetByteArrayRegion = setByteArrayRegion;
    functions.DeleteLocalRef = deleteLocalRef;
    functions.ReleaseStringChars = releaseStringChars;
    functions.ExceptionCheck = exceptionCheck;
    functions.NewByteArray = newByteArray;
    functions.GetArrayLength = getArrayLength;
    functions.GetByteArrayElements = getByteArrayElements;
    functions.ReleaseByteArrayElements = releaseByteArrayElements;
    functions.CallObjectMethodV = callObjectMethodV;
    functions.CallBooleanMethodV = callBooleanMethodV;
    functions.CallVoidMethodV = callVoidMethodV;
    environment.functions = &functions;
    fillUnexpected<1>(reinterpret_cast<void**>(&invocation),
                      std::make_index_sequence<sizeof(invocation) / sizeof(void*)>());
    invocation.DetachCurrentThread = detachCurrentThread;
    invocation.DestroyJavaVM = destroyJavaVm;
    vm.functions = &invocation;
}

#ifdef _WIN32
// Two lines. "dpi awareness A permonitorv2 B", as user32 reports it: A a DPI_AWARENESS value
// (0 unaware, 1 system, 2 per monitor), B whether the context is the per-monitor v2 one. Then
// "dpi settings dpiAware=X dpiAwareness=Y": what the process's activation context, built by
// the loader from the program's manifest, declares ("-" for nothing). The functions are
// looked up, since a system without them can only answer "unknown".
void recordDpiAwareness() {
    using Context = HANDLE; // DPI_AWARENESS_CONTEXT
    HMODULE user32 = LoadLibraryA("user32.dll");
    auto lookup = [](HMODULE module, const char* name) {
        return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
    };
    auto threadContext =
        reinterpret_cast<Context(WINAPI*)()>(lookup(user32, "GetThreadDpiAwarenessContext"));
    auto awarenessOf = reinterpret_cast<int(WINAPI*)(Context)>(
        lookup(user32, "GetAwarenessFromDpiAwarenessContext"));
    auto equal = reinterpret_cast<BOOL(WINAPI*)(Context, Context)>(
        lookup(user32, "AreDpiAwarenessContextsEqual"));
    if (threadContext && awarenessOf && equal) {
        Context context = threadContext();
        Context perMonitorV2 = reinterpret_cast<Context>(static_cast<intptr_t>(-4));
        record("dpi awareness " + std::to_string(awarenessOf(context)) + " permonitorv2 " +
               (equal(context, perMonitorV2) ? "1" : "0"));
    } else {
        record("dpi awareness unknown");
    }
    auto settings =
        reinterpret_cast<BOOL(WINAPI*)(DWORD, HANDLE, PCWSTR, PCWSTR, PWSTR, SIZE_T, SIZE_T*)>(
            lookup(GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW"));
    auto setting = [&](const wchar_t* space, const wchar_t* name) -> std::string {
        wchar_t value[256];
        SIZE_T written = 0;
        if (!settings || !settings(0, nullptr, space, name, value, 256, &written))
            return "-";
        std::string narrow;
        for (const wchar_t* c = value; *c; ++c)
            narrow += *c < 0x80 ? static_cast<char>(*c) : '?';
        return narrow;
    };
    record("dpi settings dpiAware=" +
           setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware") +
           " dpiAwareness=" +
           setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"));
}

// Printable bytes as they are, others as \xNN, so that one record stays one line.
std::string escaped(const std::vector<jbyte>& bytes) {
    std::string out;
    char hex[8];
    for (jbyte b : bytes) {
        unsigned c = static_cast<unsigned>(b & 0xFF);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

// The names a VM of this kind looks a native up by: a 32-bit VM tries the stdcall-decorated
// name ("_" + name + "@" + argument bytes) first, then the plain one; a 64-bit VM only the
// plain one.
FARPROC findNative(HMODULE program, const std::string& name, int argumentBytes) {
    std::string tried;
#ifndef _WIN64
    std::string decorated = "_" + name + "@" + std::to_string(argumentBytes);
    if (FARPROC found = GetProcAddress(program, decorated.c_str())) {
        record("native " + name + " as " + decorated);
        return found;
    }
    tried = decorated + ", ";
#else
    (void)argumentBytes;
#endif
    FARPROC found = GetProcAddress(program, name.c_str());
    record("native " + name + (found ? " as " + name : " missing (tried " + tried + name + ")"));
    return found;
}

template <typename Function>
Function nativeOf(HMODULE program, const char* name, int argumentBytes) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(
        findNative(program, std::string("Java_com_tarnwick_zor_") + name, argumentBytes)));
}

std::string part(const std::string& text, int index) {
    size_t begin = 0;
    for (int i = 0; i < index && begin != std::string::npos; ++i) {
        begin = text.find('|', begin);
        if (begin != std::string::npos)
            ++begin;
    }
    if (begin == std::string::npos)
        return "";
    return text.substr(begin, text.find('|', begin) - begin);
}

void callNatives() {
    std::string what;
    readEnv("ZOR_FAKE_JVM_NATIVES", what);
    HMODULE program = LoadLibraryA(programPath.c_str());
    if (!program) {
        record("System.load " + programPath + " failed");
        return;
    }
    answeringNatives = true;
    JNIEnv* env = &environment;
    using ClassNative = jclass(JNICALL*)(JNIEnv*, jobject, jstring);
    using ObjectNative = jobject(JNICALL*)(JNIEnv*, jobject, jstring);
    using BytesNative = jbyteArray(JNICALL*)(JNIEnv*, jobject, jstring);
    using SplashGetter = jobject(JNICALL*)(JNIEnv*, jclass);
    using SplashAutoClose = void(JNICALL*)(JNIEnv*, jobject, jint);
    using SplashClose = void(JNICALL*)(JNIEnv*, jobject);
    auto findClassNative = nativeOf<ClassNative>(program, "LumbrixClassLoader_findClass", 12);
    auto findResource = nativeOf<ObjectNative>(program, "LumbrixClassLoader_findResource", 12);
    auto findResources = nativeOf<ObjectNative>(program, "LumbrixClassLoader_findResources", 12);
    auto loadResourceData = nativeOf<BytesNative>(program, "Handler_loadResourceData", 12);
    auto getSplash = nativeOf<SplashGetter>(program, "SplashScreen_nativeGetSplashScreen", 8);
    auto autoClose = nativeOf<SplashAutoClose>(program, "SplashScreen_nativeAutoClose", 12);
    auto close = nativeOf<SplashClose>(program, "SplashScreen_nativeClose", 8);

    std::string name = part(what, 0), resource = part(what, 1), url = part(what, 2);
    if (findClassNative) {
        jclass found = findClassNative(env, LOADER, makeString(widen(name.c_str())));
        record("findClass " + name + " -> " + (found == DEFINED_CLASS ? "defined" : "null"));
    }
    if (findResource) {
        const std::u16string* found =
            stringOf(findResource(env, LOADER, makeString(widen(resource.c_str()))));
        record("findResource " + resource + " -> " + (found ? narrowAscii(*found) : "null"));
    }
    if (findResources) {
        jobject found = findResources(env, LOADER, makeString(widen(resource.c_str())));
        std::string items;
        for (const std::string& item : vectorItems)
            items += (items.empty() ? "" : ", ") + item;
        record("findResources " + resource + " -> " +
               (found == ENUMERATION ? "[" + items + "]" : "null"));
    }
    if (loadResourceData) {
        std::vector<jbyte>* data =
            bytesOf(loadResourceData(env, HANDLER, makeString(widen(url.c_str()))));
        record("loadResourceData " + url + " -> " + (data ? escaped(*data) : "null"));
    }
    if (getSplash) {
        // Without a splash there is no instance to close, as in the support classes.
        jobject splash = getSplash(env, SPLASH_CLASS);
        record(std::string("nativeGetSplashScreen -> ") + (splash ? "object" : "null"));
        if (splash && autoClose && close) {
            autoClose(env, splash, 0);
            close(env, splash);
            record("splash closed");
        }
    }
    if (localFrames != 0)
        record("unexpected local frames left open: " + std::to_string(localFrames));
    answeringNatives = false;
    FreeLibrary(program);
}
#endif

} // namespace

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* raw) {
    const JavaVMInitArgs* args = static_cast<const JavaVMInitArgs*>(raw);
    char line[96];
    std::snprintf(line, sizeof(line), "version %x ignoreUnrecognized %d options %d",
                  static_cast<unsigned>(args->version), args->ignoreUnrecognized,
                  static_cast<int>(args->nOptions));
    record(line);
#ifdef _WIN32
    if (isSet("ZOR_FAKE_JVM_DPI"))
        recordDpiAwareness();
#endif
    bool autoCreate = false;
    std::string shared;
    archiveAtExit.clear();
    programPath.clear();
    for (jint i = 0; i < args->nOptions; ++i) {
        std::string option = args->options[i].optionString;
        record("option " + option + (args->options[i].extraInfo ? " (extraInfo set)" : ""));
        if (option == "-XX:+AutoCreateSharedArchive")
            autoCreate = true;
        else if (option.rfind("-XX:SharedArchiveFile=", 0) == 0)
            shared = option.substr(option.find('=') + 1);
        else if (option.rfind("-XX:ArchiveClassesAtExit=", 0) == 0 ||
                 option.rfind("-XX:AOTCacheOutput=", 0) == 0)
            archiveAtExit = option.substr(option.find('=') + 1);
        else if (option.rfind("-Dzor.app.path=", 0) == 0)
            programPath = option.substr(15);
    }
    if (autoCreate && !shared.empty()) {
        if (FILE* f = std::fopen(shared.c_str(), "rb"))
            std::fclose(f);
        else
            archiveAtExit = shared;
    }
    std::string result;
    if (readEnv("ZOR_FAKE_JVM_CREATE_MS", result))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(result.c_str())));
    int code = readEnv("ZOR_FAKE_JVM_RESULT", result) ? std::atoi(result.c_str()) : -1;
    if (code != JNI_OK)
        return code;
    strings.clear();
    byteArrays.clear();
    stands.clear();
    definedPackages.clear();
    localFrames = 0;
    nativesCalled = false;
    pending = false;
    handlerPackagesSet = readEnv("ZOR_FAKE_JVM_PKGS", result);
    handlerPackages = widen(handlerPackagesSet ? result.c_str() : "");
    buildTables();
    *pvm = &vm;
    *penv = &environment;
    return JNI_OK;
}
