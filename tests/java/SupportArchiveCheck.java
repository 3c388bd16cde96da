import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.zip.CRC32;
import java.util.zip.DataFormatException;
import java.util.zip.Inflater;

/**
 * Reads the support archive byte by byte, as the launcher's own ZIP reader will, and checks
 * its layout and the class files inside: java SupportArchiveCheck zor-support.jar
 */
public class SupportArchiveCheck {
    static final String[] ENTRIES = {
        "com/tarnwick/zor/LumbrixClassLoader.class",
        "com/tarnwick/zor/Handler.class",
        "com/tarnwick/zor/Handler$1.class",
        "com/tarnwick/zor/SplashScreen.class",
    };
    // Class-file version (major, minor) of each entry, in the order above.
    static final int[][] VERSIONS = {{46, 0}, {45, 3}, {45, 3}, {45, 3}};
    // Attributes that only debugging needs; an attribute's name must be in the constant pool.
    static final List<String> DEBUG_ATTRIBUTES =
        Arrays.asList("SourceFile", "LineNumberTable", "LocalVariableTable",
                      "LocalVariableTypeTable", "SourceDebugExtension");

    static int failures = 0;
    static byte[] zip;

    static void check(boolean ok, String what) {
        if (!ok) {
            failures++;
            System.out.println("FAILED: " + what);
        }
    }

    static int u16(byte[] b, int at) { return (b[at] & 0xff) | (b[at + 1] & 0xff) << 8; }

    static long u32(byte[] b, int at) {
        return (u16(b, at) | (long)u16(b, at + 2) << 16) & 0xffffffffL;
    }

    static int be16(byte[] b, int at) { return (b[at] & 0xff) << 8 | (b[at + 1] & 0xff); }

    public static void main(String[] args) throws IOException {
        zip = Files.readAllBytes(Paths.get(args[0]));
        // With no archive comment, the end record is the last 22 bytes.
        int end = zip.length - 22;
        check(end >= 0 && u32(zip, end) == 0x06054b50L,
              "end record in the last 22 bytes (no archive comment)");
        if (failures > 0) {
            System.exit(1);
        }
        int count = u16(zip, end + 10);
        long directorySize = u32(zip, end + 12);
        long directoryOffset = u32(zip, end + 16);
        check(u16(zip, end + 20) == 0, "archive comment is empty");
        check(count == ENTRIES.length, "entry count " + count + " is " + ENTRIES.length);
        check(directoryOffset + directorySize == end, "central directory ends at the end record");

        List<String> names = new ArrayList<>();
        int at = (int)directoryOffset;
        for (int i = 0; i < count && at + 46 <= end; i++) {
            check(u32(zip, at) == 0x02014b50L, "central header signature of entry " + i);
            int flags = u16(zip, at + 8);
            int method = u16(zip, at + 10);
            long crc = u32(zip, at + 16);
            long packed = u32(zip, at + 20);
            long size = u32(zip, at + 24);
            int nameLength = u16(zip, at + 28);
            int extraLength = u16(zip, at + 30);
            int commentLength = u16(zip, at + 32);
            long local = u32(zip, at + 42);
            String name = new String(zip, at + 46, nameLength, "UTF-8");
            names.add(name);
            check(method == 8, name + " is deflated (method " + method + ")");
            check((flags & 1) == 0, name + " is not encrypted");
            check(extraLength == 0 && commentLength == 0, name + " has no extra field or comment");
            byte[] data = readLocalEntry(name, (int)local, method, packed, size, crc);
            if (data != null && i < VERSIONS.length) {
                checkClassFile(name, data, VERSIONS[i][0], VERSIONS[i][1]);
            }
            at += 46 + nameLength + extraLength + commentLength;
        }
        check(names.equals(Arrays.asList(ENTRIES)),
              "entries in order " + Arrays.asList(ENTRIES) + ", found " + names);

        if (failures > 0) {
            System.out.println(failures + " check(s) failed");
            System.exit(1);
        }
        System.out.println("support archive ok: " + names);
    }

    static byte[] readLocalEntry(String name, int at, int method, long packed, long size,
                                 long crc) {
        if (u32(zip, at) != 0x04034b50L) {
            check(false, name + ": local header signature");
            return null;
        }
        check(u16(zip, at + 8) == method, name + ": local method matches the central one");
        int start = at + 30 + u16(zip, at + 26) + u16(zip, at + 28);
        Inflater inflater = new Inflater(true);
        inflater.setInput(zip, start, (int)packed);
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        byte[] buffer = new byte[4096];
        try {
            while (!inflater.finished()) {
                int n = inflater.inflate(buffer);
                if (n == 0 && (inflater.needsInput() || inflater.needsDictionary())) {
                    break;
                }
                out.write(buffer, 0, n);
            }
        } catch (DataFormatException e) {
            check(false, name + ": inflates (" + e.getMessage() + ")");
            return null;
        } finally {
            inflater.end();
        }
        byte[] data = out.toByteArray();
        CRC32 check = new CRC32();
        check.update(data);
        check(data.length == size, name + ": inflated size " + data.length + " is " + size);
        check(check.getValue() == crc, name + ": CRC-32 matches");
        return data;
    }

    static void checkClassFile(String entry, byte[] c, int major, int minor) {
        check(c.length > 10 && be16(c, 0) == 0xcafe && be16(c, 2) == 0xbabe,
              entry + ": class-file magic");
        int foundMinor = be16(c, 4);
        int foundMajor = be16(c, 6);
        check(foundMajor == major && foundMinor == minor,
              entry + ": version " + foundMajor + "." + foundMinor + " is " + major + "." + minor);
        int poolCount = be16(c, 8);
        String[] utf8 = new String[poolCount];
        int[] classNameIndex = new int[poolCount];
        int at = 10;
        for (int i = 1; i < poolCount; i++) {
            int tag = c[at] & 0xff;
            switch (tag) {
            case 1: {
                int length = be16(c, at + 1);
                utf8[i] = new String(c, at + 3, length, java.nio.charset.StandardCharsets.UTF_8);
                at += 3 + length;
                break;
            }
            case 7:
                classNameIndex[i] = be16(c, at + 1);
                at += 3;
                break;
            case 8:
            case 16:
            case 19:
            case 20:
                at += 3;
                break;
            case 15:
                at += 4;
                break;
            case 3:
            case 4:
            case 9:
            case 10:
            case 11:
            case 12:
            case 17:
            case 18:
                at += 5;
                break;
            case 5:
            case 6:
                at += 9;
                i++;
                break;
            default:
                check(false, entry + ": unknown constant pool tag " + tag);
                return;
            }
        }
        for (String s : utf8) {
            check(s == null || !DEBUG_ATTRIBUTES.contains(s),
                  entry + ": no debugging attribute, found " + s);
        }
        int thisClass = be16(c, at + 2);
        String className = utf8[classNameIndex[thisClass]];
        check((className + ".class").equals(entry), entry + ": holds class " + className);
    }
}
