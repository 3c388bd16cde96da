package com.tarnwick.zor.maven;

import java.io.File;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * The zorpack command lines for a plugin configuration: one per target. Kept apart from the
 * Maven API so that the mapping can be checked without a build around it.
 */
final class ZorpackCommand {
    static final List<String> KNOWN_TARGETS = Collections.unmodifiableList(
            Arrays.asList("linux", "win64", "win32"));

    File jar;
    List<File> libraries = new ArrayList<>();
    String mainClass;
    List<String> jvmOptions;
    Map<String, String> properties;
    String minVersion;
    File icon;
    File splash;
    File manifest;
    File configFile;
    List<String> settings;
    boolean console;
    /** Null leaves zorpack's own default. */
    Boolean warmStart;
    String name;
    String version;
    String description;
    String vendor;
    String copyright;
    List<String> targets;
    File outputDirectory;
    String outputName;

    /** The targets in the order configured; linux alone when none is. */
    List<String> targets() throws IllegalArgumentException {
        List<String> list = new ArrayList<>();
        for (String t : targets == null ? Collections.<String>emptyList() : targets) {
            String target = t == null ? "" : t.trim();
            if (target.isEmpty())
                continue;
            if (!KNOWN_TARGETS.contains(target))
                throw new IllegalArgumentException(
                        "unknown target '" + target + "' (linux, win64 or win32)");
            if (list.contains(target))
                throw new IllegalArgumentException("the target " + target + " is named twice");
            list.add(target);
        }
        if (list.isEmpty())
            list.add("linux");
        return list;
    }

    /**
     * Where a target's executable goes: NAME for Linux, NAME.exe for Windows; when both
     * Windows targets are built, the 32-bit one is NAME-win32.exe.
     */
    File output(String target) {
        String file = outputName;
        if (target.equals("win64") || (target.equals("win32") && !targets().contains("win64")))
            file += ".exe";
        else if (target.equals("win32"))
            file += "-win32.exe";
        return new File(outputDirectory, file);
    }

    /** zorpack's arguments for one target, without the program itself. */
    List<String> arguments(String target) {
        boolean windows = !target.equals("linux");
        List<String> args = new ArrayList<>();
        args.add("--target");
        args.add(target);
        args.add("--app");
        args.add(jar.getPath());
        // The libraries come from the dependencies, never from the jar manifest's Class-Path,
        // whose relative names point at a layout that target/ does not have.
        args.add("--no-manifest-class-path");
        for (File library : libraries) {
            args.add("--lib");
            args.add(library.getPath());
        }
        if (present(mainClass)) {
            args.add("--main-class");
            args.add(mainClass.trim());
        }
        path(args, "--config-file", configFile);
        if (present(minVersion))
            set(args, "minjre", minVersion.trim());
        for (String option : jvmOptions == null ? Collections.<String>emptyList() : jvmOptions)
            if (present(option))
                set(args, "option", option.trim());
        // Sorted, so that the same POM always gives the same executable.
        if (properties != null)
            for (Map.Entry<String, String> p : new TreeMap<>(properties).entrySet())
                set(args, "property",
                        p.getKey() + "=" + (p.getValue() == null ? "" : p.getValue()));
        for (String setting : settings == null ? Collections.<String>emptyList() : settings)
            if (present(setting)) {
                args.add("--set");
                args.add(setting.trim());
            }
        path(args, "--splash", splash);
        if (warmStart != null)
            args.add(warmStart ? "--warm-start" : "--no-warm-start");
        // What only a Windows program carries is left out of the Linux one, so that one
        // configuration serves every target.
        if (windows) {
            path(args, "--icon", icon);
            path(args, "--manifest", manifest);
            if (console)
                args.add("--console");
            option(args, "--name", name);
            option(args, "--app-version", version);
            option(args, "--description", description);
            option(args, "--vendor", vendor);
            option(args, "--copyright", copyright);
        }
        args.add("-o");
        args.add(output(target).getPath());
        return args;
    }

    private static boolean present(String s) {
        return s != null && !s.trim().isEmpty();
    }

    private static void set(List<String> args, String key, String value) {
        args.add("--set");
        args.add(key + "=" + value);
    }

    private static void path(List<String> args, String option, File file) {
        if (file != null) {
            args.add(option);
            args.add(file.getPath());
        }
    }

    private static void option(List<String> args, String option, String value) {
        // POM texts are often wrapped over several lines.
        if (present(value)) {
            args.add(option);
            args.add(value.trim().replaceAll("\\s+", " "));
        }
    }
}
