package hello.maven;

import org.apache.commons.lang3.StringUtils;

/** Prints what it was given, through a library that Maven resolved. */
public class Main {
    public static void main(String[] args) {
        Package library = StringUtils.class.getPackage();
        System.out.println(StringUtils.capitalize("hello from maven") + ", "
                + System.getProperty("hello.greeting", "unpacked") + ".");
        System.out.println("library: " + library.getImplementationTitle() + " "
                + library.getImplementationVersion());
        System.out.println("arguments: [" + StringUtils.join(args, "] [") + "]");
    }
}
