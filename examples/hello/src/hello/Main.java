package hello;

import greetings.Greeter;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.net.URL;
import java.nio.charset.StandardCharsets;
import java.util.ServiceLoader;

/**
 * The example application: prints its arguments, a greeting read from its own resources, and
 * the greeters that its library provides through ServiceLoader.
 */
public class Main {
    public static void main(String[] args) throws IOException {
        for (String arg : args) {
            System.out.println("argument: " + arg);
        }
        System.out.println("greeting: " + Resources.text("/hello/greeting.txt"));
        int found = 0;
        for (Greeter greeter : ServiceLoader.load(Greeter.class)) {
            System.out.println("service provider: " + greeter.getClass().getName() + " says \""
                    + greeter.greet(System.getProperty("user.name", "you")) + "\"");
            found++;
        }
        if (found == 0) {
            System.out.println("service provider: none found");
        }
        System.out.println("running on Java " + System.getProperty("java.version"));
    }
}

/** Reads resources of the application. */
final class Resources {
    private Resources() {}

    static String text(String name) throws IOException {
        URL url = Main.class.getResource(name);
        if (url == null) {
            return "(resource " + name + " not found)";
        }
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        try (InputStream in = url.openStream()) {
            byte[] buffer = new byte[4096];
            for (int n; (n = in.read(buffer)) > 0;) {
                bytes.write(buffer, 0, n);
            }
        }
        return new String(bytes.toByteArray(), StandardCharsets.UTF_8).trim();
    }
}
