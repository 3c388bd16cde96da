import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.net.URL;

/** Example application: prints its arguments one per line, then a greeting from its resources. */
public class Hello {
    static final String FALLBACK = "Hello from zor! (greeting resource not found)";

    public static void main(String[] args) throws IOException {
        for (String arg : args) {
            System.out.println(arg);
        }
        System.out.println(greeting());
    }

    static String greeting() throws IOException {
        URL url = Hello.class.getResource("/hello/greeting.txt");
        if (url == null) {
            return FALLBACK;
        }
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        try (InputStream in = url.openStream()) {
            byte[] buffer = new byte[4096];
            for (int n; (n = in.read(buffer)) > 0;) {
                bytes.write(buffer, 0, n);
            }
        }
        return new String(bytes.toByteArray(), "UTF-8").trim();
    }
}
