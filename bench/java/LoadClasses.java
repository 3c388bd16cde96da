import java.io.IOException;
import java.util.List;

/**
 * The class-loading workload: loads, without initialising, every class that the resource
 * bench/classes.txt names, through the loader that loaded this driver, and prints one line.
 * Standard error gets the time of the loading loop alone, for profiling.
 */
public final class LoadClasses {
    public static void main(String[] args) throws IOException {
        ClassLoader loader = LoadClasses.class.getClassLoader();
        List<String> names = Names.read(loader, "bench/classes.txt");
        long start = System.nanoTime();
        int loaded = 0;
        int failed = 0;
        for (String name : names) {
            try {
                Class.forName(name, false, loader);
                ++loaded;
            } catch (ClassNotFoundException | LinkageError e) {
                // The same classes fail under every launcher (a dependency that is not there);
                // the count is part of the output that each launcher must reproduce.
                ++failed;
            }
        }
        long micros = (System.nanoTime() - start) / 1000;
        System.out.println(loaded + " classes loaded, " + failed + " not loadable");
        System.err.printf("LoadClasses: %d names in %.1f ms%n", names.size(), micros / 1000.0);
    }
}
