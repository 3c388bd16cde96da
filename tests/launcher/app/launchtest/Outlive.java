package launchtest;

/** main returns while a non-daemon thread still works; a daemon thread never ends. */
public class Outlive {
    public static void main(String[] args) {
        Thread daemon = new Thread(() -> {
            while (true) {
                try {
                    Thread.sleep(10);
                } catch (InterruptedException e) {
                    return;
                }
            }
        });
        daemon.setDaemon(true);
        daemon.start();
        new Thread(() -> {
            try {
                Thread.sleep(500);
            } catch (InterruptedException e) {
                return;
            }
            System.out.println("late thread done");
        }).start();
        System.out.println("main returns");
    }
}
