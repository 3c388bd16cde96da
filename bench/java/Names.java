import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;

/** The workload's list of names, one a line, read from a resource packed beside the driver. */
final class Names {
    private Names() {}

    static List<String> read(ClassLoader loader, String resource) throws IOException {
        InputStream in = loader.getResourceAsStream(resource);
        if (in == null)
            throw new IOException("no resource " + resource);
        List<String> names = new ArrayList<>();
        try (BufferedReader reader =
                new BufferedReader(new InputStreamReader(in, StandardCharsets.UTF_8))) {
            for (String line; (line = reader.readLine()) != null;)
                if (!line.isEmpty())
                    names.add(line);
        }
        if (names.isEmpty())
            throw new IOException("resource " + resource + " names nothing");
        return names;
    }
}
