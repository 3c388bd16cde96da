package mrapp;

import java.io.InputStream;
import java.net.URL;
import java.util.Collections;
import java.util.Scanner;

// What a multi-release library serves on this runtime: its class and resources by their base
// names, and a versioned entry by its own name; the name its resource's URL ends in.
public class Main {
    public static void main(String[] args) throws Exception {
        ClassLoader loader = Main.class.getClassLoader();
        System.out.println("class=" + mr.Which.version());
        URL url = loader.getResource("mr/which.txt");
        System.out.println("url=" + url.toString().replace('\\', '/').replaceFirst(".*[!:]/?", ""));
        System.out.println("stream=" + read(url.openStream()));
        for (URL each : Collections.list(loader.getResources("mr/which.txt")))
            System.out.println("each=" + read(each.openStream()));
        for (String name : new String[] {"mr/which.txt", "mr/newer.txt", "mr/zero.txt",
                                         "META-INF/versions/99/mr/which.txt"})
            System.out.println(name + "=" + read(loader.getResourceAsStream(name)));
    }

    static String read(InputStream in) {
        return in == null ? "null" : new Scanner(in, "UTF-8").useDelimiter("\\A").next();
    }
}
