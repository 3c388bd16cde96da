package launchtest;

public class NotStatic {
    public void main(String[] args) {
        System.out.println("must not run");
    }
}
