package com.tarnwick.zor.maven;

import java.io.File;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.function.Consumer;

/** The plugin's configuration as zorpack arguments, one row per case. */
public class ZorpackCommandTest {
    static final String BASE = "--app /p/app.jar --no-manifest-class-path --lib /r/lib.jar";

    static Object[] row(String target, Consumer<ZorpackCommand> setup, String expected) {
        return new Object[] {target, setup, expected};
    }

    public static void main(String[] args) {
        Map<String, String> properties = new LinkedHashMap<>();
        properties.put("b.key", "2 two");
        properties.put("a.key", "");
        Object[][] table = {
            row("linux", c -> {}, "--target linux " + BASE + " -o /p/app"),
            row("linux", c -> c.targets = Arrays.asList("win64", " linux "),
                    "--target linux " + BASE + " -o /p/app"),
            row("linux", c -> {
                c.mainClass = " a.Main ";
                c.minVersion = "11";
                c.jvmOptions = Arrays.asList("-Xmx1g", " ", "-Da=b c");
                c.properties = properties;
                c.settings = Arrays.asList("jre_order=je");
                c.configFile = new File("/p/app.cfg");
                c.splash = new File("/p/s.bmp");
                c.warmStart = true;
            }, "--target linux " + BASE + " --main-class a.Main --config-file /p/app.cfg"
                    + " --set minjre=11 --set option=-Xmx1g --set option=-Da=b c"
                    + " --set property=a.key= --set property=b.key=2 two --set jre_order=je"
                    + " --splash /p/s.bmp --warm-start -o /p/app"),
            // Windows-only settings stay out of the Linux program.
            row("linux", c -> {
                c.icon = new File("/p/i.ico");
                c.console = true;
                c.name = "App";
                c.version = "1.0";
                c.warmStart = false;
            }, "--target linux " + BASE + " --no-warm-start -o /p/app"),
            row("win64", c -> {
                c.icon = new File("/p/i.ico");
                c.manifest = new File("/p/m.xml");
                c.console = true;
                c.name = "App";
                c.version = "1.0-SNAPSHOT";
                c.description = "  two\n    lines ";
                c.vendor = "";
                c.copyright = "(c) us";
            }, "--target win64 " + BASE + " --icon /p/i.ico --manifest /p/m.xml --console"
                    + " --name App --app-version 1.0-SNAPSHOT --description two lines"
                    + " --copyright (c) us -o /p/app.exe"),
            row("win32", c -> c.targets = Arrays.asList("win32"),
                    "--target win32 " + BASE + " -o /p/app.exe"),
            row("win32", c -> c.targets = Arrays.asList("win64", "win32"),
                    "--target win32 " + BASE + " -o /p/app-win32.exe"),
            row("linux", c -> c.targets = Arrays.asList("mac"), "refused"),
            row("linux", c -> c.targets = Arrays.asList("linux", "linux"), "refused"),
        };
        int failures = 0;
        for (int i = 0; i < table.length; ++i) {
            @SuppressWarnings("unchecked")
            Consumer<ZorpackCommand> setup = (Consumer<ZorpackCommand>) table[i][1];
            ZorpackCommand c = base();
            setup.accept(c);
            String got;
            try {
                c.targets();
                got = String.join(" ", c.arguments((String) table[i][0]));
            } catch (IllegalArgumentException e) {
                got = "refused";
            }
            if (!got.equals(table[i][2])) {
                System.out.println("FAIL row " + i + ":\n  got      " + got + "\n  expected " + table[i][2]);
                ++failures;
            }
        }
        System.out.println(failures == 0 ? table.length + " rows passed" : failures + " rows failed");
        System.exit(failures == 0 ? 0 : 1);
    }

    static ZorpackCommand base() {
        ZorpackCommand c = new ZorpackCommand();
        c.jar = new File("/p/app.jar");
        c.libraries.add(new File("/r/lib.jar"));
        c.outputDirectory = new File("/p");
        c.outputName = "app";
        return c;
    }
}
