package com.tarnwick.zor.maven;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.net.URISyntaxException;
import java.nio.charset.Charset;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import org.apache.maven.artifact.Artifact;
import org.apache.maven.plugin.AbstractMojo;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugins.annotations.LifecyclePhase;
import org.apache.maven.plugins.annotations.Mojo;
import org.apache.maven.plugins.annotations.Parameter;
import org.apache.maven.plugins.annotations.ResolutionScope;
import org.apache.maven.project.MavenProject;

/**
 * Packs the project's jar, with its runtime dependencies nested as libraries, into one
 * executable per target with zorpack.
 */
@Mojo(name = "pack", defaultPhase = LifecyclePhase.PACKAGE, threadSafe = true,
        requiresDependencyResolution = ResolutionScope.RUNTIME)
public class PackMojo extends AbstractMojo {
    @Parameter(defaultValue = "${project}", readonly = true, required = true)
    private MavenProject project;

    /** Skips packing. */
    @Parameter(property = "zor.skip", defaultValue = "false")
    private boolean skip;

    /** The zorpack program; default: the one installed beside this plugin, else on PATH. */
    @Parameter(property = "zor.zorpack")
    private File zorpack;

    /** The application jar. */
    @Parameter(defaultValue = "${project.build.directory}/${project.build.finalName}.jar",
            required = true)
    private File jar;

    /** The class whose main method runs; default: the jar manifest's Main-Class. */
    @Parameter(property = "zor.mainClass")
    private String mainClass;

    /** VM options, one per element (configuration key option). */
    @Parameter
    private List<String> jvmOptions;

    /** System properties, name to value (configuration key property). */
    @Parameter
    private Map<String, String> properties;

    /** The lowest Java runtime version accepted, e.g. 11 or 1.8 (configuration key minjre). */
    @Parameter
    private String minVersion;

    /** The program's icon (.ico, Windows targets). */
    @Parameter
    private File icon;

    /** A bitmap (.bmp) shown while the runtime starts. */
    @Parameter
    private File splash;

    /** A console program instead of a GUI one (Windows targets). */
    @Parameter(defaultValue = "false")
    private boolean console;

    /** linux, win64 and/or win32; default linux. */
    @Parameter(property = "zor.targets")
    private List<String> targets;

    /** The executables' name: NAME on Linux, NAME.exe on Windows. */
    @Parameter(property = "zor.outputName", defaultValue = "${project.artifactId}", required = true)
    private String outputName;

    /** Where the executables are written. */
    @Parameter(defaultValue = "${project.build.directory}", required = true)
    private File outputDirectory;

    /** A class-data archive per user for faster starts; unset leaves zorpack's default. */
    @Parameter(property = "zor.warmStart")
    private Boolean warmStart;

    /** Product name in the version information (Windows targets). */
    @Parameter(defaultValue = "${project.name}")
    private String name;

    /** Product and file version (Windows targets). */
    @Parameter(defaultValue = "${project.version}")
    private String version;

    /** File description (Windows targets). */
    @Parameter(defaultValue = "${project.description}")
    private String description;

    /** Company name (Windows targets). */
    @Parameter(defaultValue = "${project.organization.name}")
    private String vendor;

    /** Legal copyright (Windows targets). */
    @Parameter
    private String copyright;

    /** Another application manifest (Windows targets). */
    @Parameter
    private File manifest;

    /** A file of configuration lines (key value), written before the others. */
    @Parameter
    private File configFile;

    /** Further configuration lines, KEY=VALUE each, e.g. jre_order=je. */
    @Parameter
    private List<String> settings;

    @Override
    public void execute() throws MojoExecutionException, MojoFailureException {
        if (skip) {
            getLog().info("zor: skipped (zor.skip)");
            return;
        }
        if (!jar.isFile())
            throw new MojoFailureException("zor: no application jar " + jar
                    + ": bind zor:pack to the package phase, after the jar plugin");
        ZorpackCommand command = new ZorpackCommand();
        command.jar = jar;
        for (Artifact a : project.getArtifacts()) {
            String scope = a.getScope();
            boolean runtime = scope == null || Artifact.SCOPE_COMPILE.equals(scope)
                    || Artifact.SCOPE_RUNTIME.equals(scope);
            if (runtime && a.getArtifactHandler().isAddedToClasspath() && a.getFile() != null)
                command.libraries.add(a.getFile());
        }
        command.mainClass = mainClass;
        command.jvmOptions = jvmOptions;
        command.properties = properties;
        command.minVersion = minVersion;
        command.icon = icon;
        command.splash = splash;
        command.manifest = manifest;
        command.configFile = configFile;
        command.settings = settings;
        command.console = console;
        command.warmStart = warmStart;
        command.name = name != null ? name : project.getArtifactId();
        command.version = version;
        command.description = description;
        command.vendor = vendor;
        command.copyright = copyright;
        command.targets = targets;
        command.outputDirectory = outputDirectory;
        command.outputName = outputName;

        List<String> targetList;
        try {
            targetList = command.targets();
        } catch (IllegalArgumentException e) {
            throw new MojoFailureException("zor: " + e.getMessage());
        }
        String program = findZorpack().getPath();
        if (!outputDirectory.isDirectory() && !outputDirectory.mkdirs())
            throw new MojoExecutionException("zor: cannot create " + outputDirectory);
        for (String target : targetList) {
            List<String> line = new ArrayList<>();
            line.add(program);
            line.addAll(command.arguments(target));
            getLog().debug("zor: " + String.join(" ", line));
            run(line);
            getLog().info("zor: packed " + command.output(target) + " (" + target + ")");
        }
    }

    /** Runs zorpack; its warnings become the build's, and its refusal fails the build. */
    private void run(List<String> line) throws MojoExecutionException, MojoFailureException {
        String output;
        int status;
        try {
            Process process = new ProcessBuilder(line).redirectErrorStream(true).start();
            process.getOutputStream().close();
            output = readAll(process.getInputStream());
            status = process.waitFor();
        } catch (IOException e) {
            throw new MojoExecutionException("zor: cannot run " + line.get(0) + ": " + e.getMessage(), e);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            throw new MojoExecutionException("zor: interrupted while zorpack ran", e);
        }
        StringBuilder refusal = new StringBuilder();
        for (String text : output.split("\r?\n")) {
            if (text.isEmpty())
                continue;
            if (status == 0)
                getLog().warn(text);
            else
                refusal.append(refusal.length() == 0 ? "" : "\n").append(text);
        }
        if (status != 0)
            throw new MojoFailureException(refusal.length() > 0 ? refusal.toString()
                    : "zorpack failed with exit code " + status);
    }

    private static String readAll(InputStream in) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        byte[] buffer = new byte[8192];
        for (int n; (n = in.read(buffer)) > 0;)
            bytes.write(buffer, 0, n);
        return new String(bytes.toByteArray(), Charset.defaultCharset());
    }

    /**
     * The configured zorpack, else the one of the installation that holds this plugin
     * (PREFIX/bin/zorpack beside PREFIX/share/maven-repo), else the first on PATH.
     */
    private File findZorpack() throws MojoExecutionException {
        if (zorpack != null) {
            if (!zorpack.isFile())
                throw new MojoExecutionException("zor: no zorpack at " + zorpack);
            return zorpack;
        }
        List<File> looked = new ArrayList<>();
        File installed = besidePlugin();
        if (installed != null) {
            if (installed.canExecute())
                return installed;
            looked.add(installed);
        }
        String path = System.getenv("PATH");
        for (String folder : path == null ? new String[0] : path.split(File.pathSeparator)) {
            File candidate = new File(folder.isEmpty() ? "." : folder, "zorpack");
            if (candidate.isFile() && candidate.canExecute())
                return candidate;
        }
        throw new MojoExecutionException("zor: zorpack not found (looked "
                + (looked.isEmpty() ? "" : "at " + looked.get(0) + " and ")
                + "on PATH); set <zorpack> or -Dzor.zorpack=FILE");
    }

    private static File besidePlugin() {
        try {
            Path jarPath = Paths.get(PackMojo.class.getProtectionDomain().getCodeSource()
                    .getLocation().toURI()).toRealPath();
            for (Path p = jarPath.getParent(); p != null && p.getParent() != null; p = p.getParent()) {
                Path share = p.getParent();
                if (p.getFileName().toString().equals("maven-repo")
                        && share.getFileName() != null
                        && share.getFileName().toString().equals("share")
                        && share.getParent() != null)
                    return share.getParent().resolve("bin").resolve("zorpack").toFile();
            }
        } catch (IOException | URISyntaxException | RuntimeException e) {
            // A plugin loaded from elsewhere than a file has no installation beside it.
        }
        return null;
    }
}
