package launchtest;

public class Exit3 {
    public static void main(String[] args) {
        System.exit(3);
    }
}
