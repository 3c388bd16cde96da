package greetings;

/** A service: something that greets. Implementations are found through ServiceLoader. */
public interface Greeter {
    String greet(String name);
}
