package mapp;

import com.google.common.base.Joiner;
import com.google.common.collect.ImmutableSortedSet;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.Scanner;
import org.apache.commons.cli.CommandLine;
import org.apache.commons.cli.DefaultParser;
import org.apache.commons.cli.Options;
import org.apache.commons.lang3.StringUtils;

/** Uses three libraries that its manifest's Class-Path names, and a resource of its own. */
public class Main {
    public static void main(String[] args) throws Exception {
        Options options = new Options();
        options.addOption("n", "name", true, "who");
        options.addOption("v", "verbose", false, "talk more");
        CommandLine line = new DefaultParser().parse(options, args);
        System.out.println("name=" + StringUtils.capitalize(line.getOptionValue("n", "nobody")));
        System.out.println("verbose=" + line.hasOption("v"));
        System.out.println("rest=" + Joiner.on('|').join(ImmutableSortedSet.copyOf(line.getArgList())));
        System.out.println("reversed=" + StringUtils.reverse("zorpack"));
        try (InputStream in = Main.class.getResourceAsStream("note.txt");
                Scanner text = new Scanner(in, StandardCharsets.UTF_8.name())) {
            System.out.println("note=" + text.nextLine());
        }
        System.out.println("guava=" + (ImmutableSortedSet.class.getClassLoader() != null));
    }
}
