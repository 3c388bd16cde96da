import java.io.IOException;
import java.io.InputStream;
import java.util.List;
import java.util.zip.CRC32;

/**
 * The resource workload: READS getResourceAsStream reads, each to its end, going round the
 * resources that bench/resources.txt names. Prints the byte count and a CRC of everything
 * read, so that a launcher serving wrong or partial content cannot pass for a fast one.
 */
public final class ReadResources {
    static final int READS = 10_000;

    public static void main(String[] args) throws IOException {
        ClassLoader loader = ReadResources.class.getClassLoader();
        List<String> names = Names.read(loader, "bench/resources.txt");
        byte[] buffer = new byte[16 * 1024];
        CRC32 crc = new CRC32();
        long bytes = 0;
        int missing = 0;
        long start = System.nanoTime();
        for (int i = 0; i < READS; ++i) {
            try (InputStream in = loader.getResourceAsStream(names.get(i % names.size()))) {
                if (in == null) {
                    ++missing;
                    continue;
                }
                for (int n; (n = in.read(buffer)) > 0;) {
                    bytes += n;
                    crc.update(buffer, 0, n);
                }
            }
        }
        long micros = (System.nanoTime() - start) / 1000;
        System.out.printf("%d reads of %d resources: %d bytes, CRC %08x, %d missing%n", READS,
                names.size(), bytes, crc.getValue(), missing);
        System.err.printf("ReadResources: %d reads in %.1f ms%n", READS, micros / 1000.0);
    }
}
