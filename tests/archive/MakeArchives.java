import java.io.BufferedOutputStream;
import java.io.ByteArrayOutputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

/**
 * Archives that zip cannot write: one with more entries than the classic end record counts
 * (ZipOutputStream then writes a Zip64 end record), and one whose nested archive has a name that
 * is not UTF-8. Usage: java MakeArchives.java OUT_DIR
 */
public class MakeArchives {
    public static void main(String[] args) throws IOException {
        String out = args[0];
        try (ZipOutputStream zip = new ZipOutputStream(
                 new BufferedOutputStream(new FileOutputStream(out + "/zip64.jar")))) {
            for (int i = 0; i < 66000; i++) {
                ZipEntry entry = new ZipEntry("e/" + i + ".txt");
                // Mostly empty stored entries: the count matters here, not the content.
                byte[] content = i % 10000 == 9999
                                     ? ("entry " + i + "\n").getBytes(StandardCharsets.US_ASCII)
                                     : new byte[0];
                if (content.length == 0) {
                    entry.setMethod(ZipEntry.STORED);
                    entry.setSize(0);
                    entry.setCrc(0);
                }
                zip.putNextEntry(entry);
                zip.write(content);
                zip.closeEntry();
            }
        }
        // Latin-1 names: "\u00e9" and "\u00ff" are stored as the bytes E9 and FF, which UTF-8
        // rejects; "+" and "%41" mean something to URL decoding.
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        try (ZipOutputStream zip = new ZipOutputStream(bytes, StandardCharsets.ISO_8859_1)) {
            zip.putNextEntry(new ZipEntry("inside.txt"));
            zip.write("latin inside\n".getBytes(StandardCharsets.US_ASCII));
            zip.closeEntry();
        }
        byte[] inner = bytes.toByteArray();
        try (ZipOutputStream zip = new ZipOutputStream(
                 new FileOutputStream(out + "/latin1.zip"), StandardCharsets.ISO_8859_1)) {
            zip.putNextEntry(new ZipEntry("\u00e9+%41\u00ff.jar"));
            zip.write(inner);
            zip.closeEntry();
        }
    }
}
