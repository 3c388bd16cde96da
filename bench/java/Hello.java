/** The start-up workload: a VM, one class of the application's own, one line. */
public final class Hello {
    public static void main(String[] args) {
        System.out.println("hello");
    }
}
