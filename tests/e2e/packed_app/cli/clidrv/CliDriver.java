package clidrv;

import java.io.PrintWriter;
import java.io.StringWriter;
import org.apache.commons.cli.CommandLine;
import org.apache.commons.cli.DefaultParser;
import org.apache.commons.cli.HelpFormatter;
import org.apache.commons.cli.Option;
import org.apache.commons.cli.Options;

// A small program on top of a library we did not write: its output must be the same packed
// into one executable as run by `java -cp`.
public class CliDriver {
    public static void main(String[] args) throws Exception {
        Options options = new Options();
        options.addOption("v", "verbose", false, "talk more");
        options.addOption(Option.builder("n").longOpt("name").hasArg().argName("NAME").desc("who to greet").build());
        options.addOption("c", "count", true, "how many times");
        CommandLine line = new DefaultParser().parse(options, args);
        int count = line.hasOption("c") ? Integer.parseInt(line.getOptionValue("c")) : 1;
        for (int i = 0; i < count; i++) {
            System.out.println("hello " + line.getOptionValue("n", "world"));
        }
        System.out.println("verbose=" + line.hasOption("v"));
        System.out.println("rest=" + line.getArgList());
        StringWriter help = new StringWriter();
        new HelpFormatter().printHelp(new PrintWriter(help), 72, "greet", null, options, 2, 4, null);
        System.out.print(help);
    }
}
