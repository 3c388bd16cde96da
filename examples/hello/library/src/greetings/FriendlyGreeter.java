package greetings;

/** The library's own Greeter, registered in META-INF/services. */
public class FriendlyGreeter implements Greeter {
    @Override
    public String greet(String name) {
        return "Hello, " + name + ", from the greetings library!";
    }
}
