package launchtest;

public class NoArgs {
    public static void main() {
        System.out.println("must not run");
    }
}
